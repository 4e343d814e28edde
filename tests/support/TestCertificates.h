#pragma once

#include "tests/support/TempFolder.h"

#include <string>
#include <vector>

namespace pelimo::test {

// A certificate authority made for the test, a server certificate it signed for 127.0.0.1,
// and a second authority that signed nothing of the server's.
class TestCertificates {
public:
    TestCertificates();
    const std::string& startError() const { return error; }
    std::string caFile() const { return folder.file("ca.pem"); }
    std::string otherCaFile() const { return folder.file("other.pem"); }
    std::string serverCertFile() const { return folder.file("server.pem"); }
    std::string serverKeyFile() const { return folder.file("server.key"); }

    // The arguments that make the test SMTP server (test::SmtpSink) a submission server with
    // this certificate: STARTTLS ("starttls") or TLS from the first byte ("implicit"), and the
    // login "tester" / "s3cret".
    std::vector<std::string> submissionArguments(const char* tls) const;

private:
    TempFolder folder{"pelimo-certs"};
    std::string error;
};

// Points SSL_CERT_FILE, the bundle the mail client trusts, at a file while it lives.
class TrustedBundle {
public:
    explicit TrustedBundle(const std::string& path);
    ~TrustedBundle();
    TrustedBundle(const TrustedBundle&) = delete;
    TrustedBundle& operator=(const TrustedBundle&) = delete;
};

} // namespace pelimo::test
