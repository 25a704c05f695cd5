#include "report/report_reader.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "certpath/chain_words.h"
#include "check/report_words.h"
#include "common/utf8_encode.h"

namespace veskreport {
namespace {

namespace words = veskcheck::reportWords;
namespace chain = veskcheck::chainWords;

// Ends the reading of a report that is not laid out as the program lays it out.
struct Misplaced {
    std::string reason;
};

std::u16string_view tail(std::u16string_view text, std::u16string_view prefix) { return text.substr(prefix.size()); }

// The text up to `separator`, which `rest` then starts after.
std::u16string_view takeUntil(std::u16string_view& rest, std::u16string_view separator, const char* what) {
    const std::size_t at = rest.find(separator);
    if (at == std::u16string_view::npos) throw Misplaced{std::string("no ") + what};
    const std::u16string_view taken = rest.substr(0, at);
    rest.remove_prefix(at + separator.size());
    return taken;
}

template <typename Number>
Number number(std::u16string_view text, const char* what) {
    std::string ascii;
    for (const char16_t unit : text) {
        if (unit > 0x7F) throw Misplaced{std::string("a ") + what + " that is not a number"};
        ascii += static_cast<char>(unit);
    }
    Number value{};
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || end != ascii.data() + ascii.size())
        throw Misplaced{std::string("a ") + what + " that is not a number"};
    return value;
}

// Seconds since 1970 of a "YYYY-MM-DD HH:MM:SS" stamp, by the civil calendar.
std::optional<std::int64_t> stampSeconds(std::u16string_view stamp) {
    if (stamp.size() != 19 || stamp[4] != u'-' || stamp[7] != u'-' || stamp[10] != u' ' || stamp[13] != u':' ||
        stamp[16] != u':')
        return std::nullopt;
    try {
        const std::int64_t year = number<std::int64_t>(stamp.substr(0, 4), "year");
        const std::int64_t month = number<std::int64_t>(stamp.substr(5, 2), "month");
        const std::int64_t day = number<std::int64_t>(stamp.substr(8, 2), "day");
        const std::int64_t seconds = number<std::int64_t>(stamp.substr(11, 2), "hour") * 3600 +
                                     number<std::int64_t>(stamp.substr(14, 2), "minute") * 60 +
                                     number<std::int64_t>(stamp.substr(17, 2), "second");
        const std::int64_t shiftedYear = year - (month <= 2 ? 1 : 0);
        const std::int64_t era = shiftedYear / 400;
        const std::int64_t yearOfEra = shiftedYear - era * 400;
        const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
        const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
        return (era * 146097 + dayOfEra - 719468) * 86400 + seconds;
    } catch (const Misplaced&) {
        return std::nullopt;
    }
}

class ReportReader {
public:
    explicit ReportReader(const std::vector<std::u16string>& lines) : lines_(lines) {}

    ReportRecord read() {
        readOpening();
        readAdvice();
        while (!atEnd() && !peek().empty()) record_.diagnostics.push_back(diagnostic(next("a diagnostic line")));
        expect(u"", "the empty line before the certificate section");
        expect(words::certificateHeading, "the certificate section's heading");
        readCertificateSection();
        while (!atEnd() && isClassification(peek())) record_.classifications.push_back(classification(next("")));
        expect(u"", "the empty line before the footer");
        for (const std::u16string_view line : words::footerLines) expect(line, "the footer");
        if (!atEnd()) throw Misplaced{"text after the footer at line " + std::to_string(at_ + 1)};
        return std::move(record_);
    }

private:
    bool atEnd() const { return at_ == lines_.size(); }
    std::u16string_view peek() const { return lines_[at_]; }

    std::u16string_view next(const char* what) {
        if (atEnd()) throw Misplaced{std::string("it ends before ") + what};
        return lines_[at_++];
    }

    void expect(std::u16string_view line, const char* what) {
        if (next(what) != line) throw Misplaced{std::string("line ") + std::to_string(at_) + " is not " + what};
    }

    // The line's text after `prefix`, which it must start with.
    std::u16string_view nextAfter(std::u16string_view prefix, const char* what) {
        const std::u16string_view line = next(what);
        if (!line.starts_with(prefix)) throw Misplaced{"line " + std::to_string(at_) + " is not " + what};
        return tail(line, prefix);
    }

    bool nextStartsWith(std::u16string_view prefix) const { return !atEnd() && peek().starts_with(prefix); }

    void readOpening() {
        std::u16string_view header = nextAfter(words::headerStart, "the header of a vesk-check report");
        record_.toolVersion = takeUntil(header, words::headerUpdater, "updater version in the header");
        if (!header.ends_with(words::headerEnd)) throw Misplaced{"the header does not end as written"};
        record_.updaterVersion = header.substr(0, header.size() - words::headerEnd.size());
        readTimes();
        readSystem(nextAfter(words::system, "the system line"));
        if (nextStartsWith(words::compatibility)) {
            const std::u16string_view layer = tail(next(""), words::compatibility);
            if (!layer.starts_with(words::wine)) throw Misplaced{"a compatibility layer other than Wine"};
            record_.wineVersion = tail(layer, words::wine);
        }
        std::u16string_view target = nextAfter(words::target, "the target line");
        if (!target.ends_with(words::targetEnd)) throw Misplaced{"the target line does not end as written"};
        record_.host = target.substr(0, target.size() - words::targetEnd.size());
        for (const std::u16string_view line : words::scopeLines) expect(line, "the scope block");
        if (nextStartsWith(words::component)) {
            std::u16string_view component = tail(next(""), words::component);
            record_.libcurlVersion = takeUntil(component, words::componentSeparator, "TLS back end");
            record_.tlsBackend = component;
        }
        if (!atEnd() && peek() == words::internalError) {
            record_.internalError = true;
            ++at_;
        }
    }

    void readTimes() {
        const std::u16string_view utc = nextAfter(words::startTime, "the start time");
        if (!utc.ends_with(words::utcSuffix)) throw Misplaced{"the start time is not in UTC"};
        record_.startUtc = utc.substr(0, utc.size() - words::utcSuffix.size());
        const std::u16string_view local = nextAfter(words::computerTime, "the computer's time");
        if (!local.ends_with(words::localSuffix)) throw Misplaced{"the computer's time does not end as written"};
        record_.computerTime = local.substr(0, local.size() - words::localSuffix.size());
        const auto utcSeconds = stampSeconds(record_.startUtc);
        const auto localSeconds = stampSeconds(record_.computerTime);
        if (utcSeconds && localSeconds) record_.computerOffsetSeconds = *localSeconds - *utcSeconds;
    }

    // "Windows 10 / x64 / 构建 19045"; any other text (a failed detection) is kept as it is.
    void readSystem(std::u16string_view system) {
        record_.system = system;
        const std::size_t first = system.find(words::systemSeparator);
        const std::size_t second = first == std::u16string_view::npos
                                       ? std::u16string_view::npos
                                       : system.find(words::systemSeparator, first + words::systemSeparator.size());
        if (second == std::u16string_view::npos) return;
        const std::u16string_view build = system.substr(second + words::systemSeparator.size());
        if (!build.starts_with(words::buildWord)) return;
        try {
            record_.build = number<std::uint32_t>(tail(build, words::buildWord), "build number");
        } catch (const Misplaced&) {
            return;
        }
        record_.windowsVersion = system.substr(0, first);
        record_.architecture =
            system.substr(first + words::systemSeparator.size(), second - first - words::systemSeparator.size());
    }

    // The advice runs, empty lines and all, up to the empty line before the diagnostics heading.
    void readAdvice() {
        expect(u"", "the empty line before the advice");
        expect(words::adviceHeading, "the advice heading");
        const std::size_t first = at_;
        std::size_t heading = first + 1;
        while (heading < lines_.size() &&
               !(lines_[heading] == words::diagnosticsHeading && lines_[heading - 1].empty()))
            ++heading;
        if (heading >= lines_.size()) throw Misplaced{"it ends in the advice"};
        for (std::size_t i = first; i + 1 < heading; ++i) {
            if (i != first) record_.adviceText += words::lineBreak;
            record_.adviceText += lines_[i];
        }
        record_.advice = veskcheck::identifyAdvice(record_.adviceText);
        at_ = heading + 1;
    }

    Diagnostic diagnostic(std::u16string_view line) {
        Diagnostic d;
        if (line.starts_with(words::ipv4Diagnostic)) {
            d.mode = Mode::Ipv4Only;
            line.remove_prefix(words::ipv4Diagnostic.size());
        } else if (line.starts_with(words::systemChosenDiagnostic)) {
            d.mode = Mode::SystemChosen;
            line.remove_prefix(words::systemChosenDiagnostic.size());
        } else {
            throw Misplaced{"line " + std::to_string(at_) + " is not a diagnostic line"};
        }
        if (!line.starts_with(words::targetLabel)) throw Misplaced{"a diagnostic line without its target"};
        line.remove_prefix(words::targetLabel.size());
        d.target = takeUntil(line, words::curlLabel, "curl code");
        d.curlCode = number<std::uint32_t>(takeUntil(line, words::httpLabel, "HTTP status"), "curl code");
        d.httpStatus = number<std::int32_t>(takeUntil(line, words::elapsedLabel, "elapsed time"), "HTTP status");
        d.elapsedMs = number<std::uint64_t>(takeUntil(line, words::phasesLabel, "phase times"), "elapsed time");
        d.dnsMs = number<std::uint64_t>(takeUntil(line, words::phaseSeparator, "TCP time"), "DNS time");
        d.connectMs = number<std::uint64_t>(takeUntil(line, words::phaseSeparator, "TLS time"), "TCP time");
        d.tlsMs = number<std::uint64_t>(takeUntil(line, words::peerLabel, "peer"), "TLS time");
        d.peer = takeUntil(line, words::certificateLabel, "certificate word");
        d.certificateWord = line;
        return d;
    }

    void readCertificateSection() {
        for (;;) {
            if (nextStartsWith(words::addressHeading)) {
                record_.certificateChecks.push_back(certificateCheck(tail(next(""), words::addressHeading)));
            } else if (!atEnd() && peek() == words::certificateCheckCancelled) {
                record_.certificateCheckCancelled = true;
                ++at_;
            } else if (!atEnd() && peek() == words::noAddress) {
                record_.noAddress = true;
                ++at_;
            } else {
                return;
            }
        }
    }

    CertificateCheck certificateCheck(std::u16string_view heading) {
        CertificateCheck check;
        check.peer = takeUntil(heading, words::addressHostSeparator, "host in an address heading");
        check.host = heading;
        if (nextStartsWith(chain::failure)) {
            readProbeFailure(tail(next(""), chain::failure), check);
            return check;
        }
        expect(chain::blockHeading, "a certificate path block");
        std::u16string_view overall = nextAfter(chain::overallStatus, "the overall status of a certificate path");
        check.overallStatus = takeUntil(overall, chain::policyVerdict, "policy verdict");
        check.policyVerdict = overall;
        while (nextStartsWith(chain::path)) check.paths.push_back(chainPath(tail(next(""), chain::path)));
        return check;
    }

    void readProbeFailure(std::u16string_view failure, CertificateCheck& check) {
        if (failure == std::u16string(chain::analysisFailed) + std::u16string(chain::failureEndWithoutCode)) {
            check.failedStep = chain::analysisFailed;
            return;
        }
        check.failedStep = takeUntil(failure, chain::failureCode, "failure code");
        if (!failure.ends_with(chain::failureEnd)) throw Misplaced{"a probe failure line does not end as written"};
        check.failureCode = failure.substr(0, failure.size() - chain::failureEnd.size());
    }

    ChainPath chainPath(std::u16string_view line) {
        ChainPath path;
        takeUntil(line, chain::pathStatus, "path status");
        path.status = line;
        while (nextStartsWith(chain::layer)) {
            std::u16string_view layerLine = tail(next(""), chain::layer);
            takeUntil(layerLine, chain::layerSubject, "layer subject");
            ChainLayer layer;
            layer.subject = takeUntil(layerLine, chain::issuer, "issuer");
            layer.issuer = takeUntil(layerLine, chain::status, "layer status");
            layer.status = takeUntil(layerLine, chain::fingerprint, "fingerprint");
            layer.fingerprint = layerLine;
            path.layers.push_back(std::move(layer));
        }
        if (!atEnd() && peek() == chain::moreLayers) {
            path.moreLayers = true;
            ++at_;
        }
        return path;
    }

    static bool isClassification(std::u16string_view line) {
        for (const std::u16string_view word : {words::ipv4Classification, words::systemChosenClassification})
            if (line.starts_with(word) && tail(line, word).starts_with(words::classificationLabel)) return true;
        return false;
    }

    Classification classification(std::u16string_view line) {
        Classification c;
        c.mode = line.starts_with(words::ipv4Classification) ? Mode::Ipv4Only : Mode::SystemChosen;
        line = tail(line, c.mode == Mode::Ipv4Only ? words::ipv4Classification : words::systemChosenClassification);
        line.remove_prefix(words::classificationLabel.size());
        c.category = number<std::int32_t>(takeUntil(line, words::detailSeparator, "classification detail"), "category");
        c.detail = line;
        return c;
    }

    const std::vector<std::u16string>& lines_;
    std::size_t at_ = 0;
    ReportRecord record_;
};

}  // namespace

std::variant<ReportRecord, Refusal> readReport(const std::vector<std::u16string>& lines) {
    try {
        return ReportReader(lines).read();
    } catch (const Misplaced& misplaced) {
        return Refusal{misplaced.reason};
    }
}

std::variant<ReportRecord, Refusal> readReportBytes(std::span<const unsigned char> bytes) {
    auto lines = reportLines(bytes);
    if (const Refusal* refusal = std::get_if<Refusal>(&lines)) return *refusal;
    return readReport(std::get<std::vector<std::u16string>>(lines));
}

}  // namespace veskreport
