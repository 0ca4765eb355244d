#include "cli/check_run.h"

#include "listgen/common/system_error.h"
#include "cli/checked_output.h"
#include "cli/failure_text.h"
#include "cli/localized.h"
#include "cli/reader_notice.h"
#include "cli/stop_signals.h"

#include <unistd.h>

#include <cerrno>

namespace vaskerel {

namespace {

// A name as md5sum -c prints it: as it is, or, when it holds a line end or anything that
// cannot be printed safely, after a "\" that starts md5sum's escaping, with \xNN for the rest.
std::string checkedName(std::string_view name)
{
    std::string escaped;
    bool needsEscaping = false;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= name.size(); ++at) {
        const char c = at < name.size() ? name[at] : '\0';
        if (at < name.size() && c != '\\' && c != '\n' && c != '\r')
            continue;
        const std::string piece = shown(name.substr(start, at - start));
        needsEscaping = needsEscaping || piece.size() != at - start || c == '\n' || c == '\r';
        escaped += piece;
        if (at < name.size())
            escaped += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : "\\r";
        start = at + 1;
    }
    return needsEscaping ? escaped.insert(0, 1, '\\') : std::string(name);
}

class CheckPrinter : public listgen::CheckListener {
public:
    CheckPrinter(const std::string& manifest, const CheckOptions& options, int output, std::ostream& errors)
        : manifest_(manifest)
        , options_(options)
        , output_(output)
        , terminal_(::isatty(output) == 1)
        , errors_(errors)
    {
    }

    void checked(const listgen::CheckedLine& line) override
    {
        using Result = listgen::CheckedLine::Result;
        if (line.result == Result::Misformatted) {
            ++misformatted_;
            if (options_.verbosity == CheckVerbosity::Warn)
                errors_ << "vaskerel: " << shown(manifest_) << ": " << line.line << ": "
                        << tr("improperly formatted checksum line") << '\n';
            return;
        }
        ++wellFormed_;
        switch (line.result) {
        case Result::Ok:
            ++matched_;
            if (options_.verbosity == CheckVerbosity::Normal || options_.verbosity == CheckVerbosity::Warn)
                print(line.name, tr("OK"));
            break;
        case Result::Failed:
            ++mismatched_;
            print(line.name, tr("FAILED"));
            break;
        case Result::Unreadable:
            // A link that leads nowhere is a file that does not exist, as the peers see it.
            if (options_.ignoreMissing && (line.reason == std::errc::no_such_file_or_directory ||
                                           line.reason == listgen::RunError::BrokenLink))
                break;
            ++unreadable_;
            errors_ << "vaskerel: " << shown(line.name) << ": " << reasonText(line.reason) << '\n';
            print(line.name, tr("FAILED open or read"));
            break;
        case Result::Misformatted: break;
        }
    }

    // Writes out the lines held; false, with the reason said, when they could not all be written.
    bool flush()
    {
        const int error = output_.flush();
        if (error != 0)
            errors_ << "vaskerel: " << tr("write error") << ": " << reasonText(listgen::systemCode(error)) << '\n';
        return error == 0;
    }

    // The closing warnings; returns the exit status.
    int finish()
    {
        if (!flush())
            return 1;
        if (wellFormed_ == 0) {
            errors_ << "vaskerel: " << shown(manifest_) << ": " << tr("no properly formatted checksum lines found")
                    << '\n';
            return 1;
        }
        if (options_.verbosity != CheckVerbosity::StatusOnly) {
            warn(misformatted_, trn("WARNING: %s line is improperly formatted",
                                    "WARNING: %s lines are improperly formatted", misformatted_));
            warn(unreadable_, trn("WARNING: %s listed file could not be read",
                                  "WARNING: %s listed files could not be read", unreadable_));
            warn(mismatched_, trn("WARNING: %s computed checksum did NOT match",
                                  "WARNING: %s computed checksums did NOT match", mismatched_));
        }
        if (options_.ignoreMissing && matched_ == 0 && mismatched_ == 0 && unreadable_ == 0)
            errors_ << "vaskerel: " << shown(manifest_) << ": " << tr("no file was verified") << '\n';
        const bool passed = matched_ > 0 && mismatched_ == 0 && unreadable_ == 0 &&
                            (!options_.strict || misformatted_ == 0);
        return passed ? 0 : 1;
    }

private:
    void print(const std::string& name, const char* result)
    {
        if (options_.verbosity == CheckVerbosity::StatusOnly)
            return;
        output_.write(checkedName(name));
        output_.write(": ");
        output_.write(result);
        output_.write("\n");
        // On a terminal each line shows as its file is done, as the peers' do.
        if (terminal_)
            output_.flush();
    }

    void warn(unsigned long count, const char* format)
    {
        if (count > 0)
            errors_ << "vaskerel: " << withValue(format, std::to_string(count)) << '\n';
    }

    const std::string& manifest_;
    const CheckOptions& options_;
    CheckedOutput output_;
    bool terminal_;
    std::ostream& errors_;
    unsigned long misformatted_ = 0;
    unsigned long wellFormed_ = 0;
    unsigned long matched_ = 0;
    unsigned long mismatched_ = 0;
    unsigned long unreadable_ = 0;
};

} // namespace

int runCheck(const listgen::CheckRequest& request, const CheckOptions& options, int output, std::ostream& errors)
{
    const StopSignals stop(
        [](bool) { return std::string("vaskerel: ") + tr("stopped before the check was complete") + '\n'; });
    CheckPrinter printer(request.manifest, options, output, errors);
    const listgen::CheckOutcome outcome = listgen::CheckFiles(request, printer, {}, stop.requested());
    reportReaderFallback(outcome.readerFallback, errors);
    switch (outcome.status) {
    case listgen::CheckOutcome::Status::Done: return printer.finish();
    case listgen::CheckOutcome::Status::Cancelled:
        printer.flush();
        errors << "vaskerel: " << tr("stopped before the check was complete") << '\n';
        return 128 + stop.signal();
    case listgen::CheckOutcome::Status::Failed: break;
    }
    printer.flush();
    errors << "vaskerel: " << (outcome.listing ? listingText(*outcome.listing) : failureText(*outcome.failure)) << '\n';
    return 1;
}

} // namespace vaskerel
