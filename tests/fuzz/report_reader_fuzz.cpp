// Arbitrary bytes as a submitted report: the reader must give a record or a refusal with a reason,
// and the record's every output must be writable; a crash, a hang, a sanitizer report or any
// exception is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "report/report_outputs.h"
#include "report/report_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto read = veskreport::readReportBytes(std::span<const unsigned char>(data, size));
    if (const auto* refusal = std::get_if<veskreport::Refusal>(&read)) {
        if (refusal->reason.empty()) std::abort();
        return 0;
    }
    const veskreport::ReadReport report{"fuzz.txt", std::get<veskreport::ReportRecord>(std::move(read))};
    if (veskreport::reportLine(report).empty() || veskreport::reportJson(report).empty()) std::abort();
    veskreport::Summariser summariser;
    summariser.add(report.record);
    veskreport::summaryText(summariser.summary());
    return 0;
}
