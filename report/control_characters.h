#pragma once

// What reaches a support agent's terminal from a report, which comes from the public internet:
// plain characters only, never something the terminal acts on or that disguises a line.
#include <string>
#include <string_view>

namespace veskreport {

// C0 controls, DEL, C1 controls (a terminal takes U+009B as CSI and U+009D as OSC, which can
// write the clipboard) and the Bidi_Control characters, which reorder text on screen.
bool isControlCharacter(char32_t character);

// Text for a terminal: every control character, and every byte that is not well-formed UTF-8
// (which an 8-bit terminal could take for a C1 control), becomes U+FFFD.
std::string terminalSafe(std::string_view utf8);

// Well-formed JSON text with each control character a JSON writer leaves raw in its strings
// (DEL, C1, the bidirectional controls) written as its \u escape: the JSON means the same and
// shows no control on a terminal.
std::string withControlsEscaped(std::string_view json);

}  // namespace veskreport
