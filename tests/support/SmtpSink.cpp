#include "tests/support/SmtpSink.h"

#include "platform/FileSystem.h"

#include <chrono>
#include <cstdlib>

namespace pelimo::test {

SmtpSink::SmtpSink(std::vector<std::string> scriptArguments)
{
    if (folder.path().empty()) {
        error = "cannot create a temporary folder";
        return;
    }
    // aiosmtpd is installed for Debian's own interpreter, not whichever python3 is first on PATH.
    std::vector<std::string> argv{"/usr/bin/python3", PELIMO_TEST_SUPPORT_DIR "/smtp_sink.py", "--folder",
                                  folder.path()};
    argv.insert(argv.end(), scriptArguments.begin(), scriptArguments.end());
    const std::string log = folder.file("server.log");
    if (!process.start(argv, {.outputFile = log, .readOutput = true}, error))
        return;
    const auto line = process.readLine(std::chrono::seconds(10));
    static const std::string prefix = "smtp-sink listening on 127.0.0.1:";
    if (line && line->starts_with(prefix))
        portNumber = static_cast<uint16_t>(std::atoi(line->c_str() + prefix.size()));
    if (portNumber == 0) {
        process.stop();
        error = "the SMTP server did not start within 10 s; its output:\n" +
                platform::readWholeFile(log, 1 << 20).value_or("");
    }
}

std::vector<std::string> SmtpSink::mails() const
{
    std::vector<std::string> out;
    for (int n = 1;; ++n) {
        auto bytes = platform::readWholeFile(folder.file("mail-" + std::to_string(n)), 64 << 20);
        if (!bytes)
            return out;
        out.push_back(std::move(*bytes));
    }
}

std::vector<std::string> SmtpSink::messages() const
{
    std::vector<std::string> out = mails();
    for (std::string& mail : out) {
        const size_t data = mail.find("\nDATA\n");
        mail.erase(0, data == std::string::npos ? 0 : data + 6);
    }
    return out;
}

} // namespace pelimo::test
