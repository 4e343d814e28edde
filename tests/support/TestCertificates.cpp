#include "tests/support/TestCertificates.h"

#include "platform/FileSystem.h"
#include "tests/support/ChildProcess.h"

#include <chrono>
#include <cstdlib>

namespace pelimo::test {
namespace {

// Runs a program to its end, its output in logPath; true when it exits with 0.
bool runProgram(const std::vector<std::string>& argv, const std::string& logPath)
{
    ChildProcess process;
    return process.start(argv, {.outputFile = logPath}) && process.wait(std::chrono::seconds(30)) == 0;
}

} // namespace

TestCertificates::TestCertificates()
{
    const std::string& dir = folder.path();
    if (dir.empty()) {
        error = "cannot create a temporary folder";
        return;
    }
    const std::string log = folder.file("openssl.log");
    const std::string openssl = "/usr/bin/openssl";
    const std::vector<std::string> key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    const auto selfSigned = [&](const std::string& name, const std::string& subject) {
        std::vector<std::string> argv{openssl, "req", "-x509"};
        argv.insert(argv.end(), key.begin(), key.end());
        argv.insert(argv.end(), {"-keyout", folder.file(name + ".key"), "-out", folder.file(name + ".pem"),
                                 "-days", "2", "-subj", subject});
        return runProgram(argv, log);
    };
    std::vector<std::string> request{openssl, "req"};
    request.insert(request.end(), key.begin(), key.end());
    request.insert(request.end(),
                   {"-keyout", serverKeyFile(), "-out", folder.file("server.csr"), "-subj", "/CN=127.0.0.1"});
    const bool made =
        selfSigned("ca", "/CN=Pelimo Test CA") && selfSigned("other", "/CN=Another Test CA") &&
        runProgram(request, log) &&
        platform::writeFileAtomically(folder.file("san.cnf"), "subjectAltName=IP:127.0.0.1\n") &&
        runProgram({openssl, "x509", "-req", "-in", folder.file("server.csr"), "-CA", caFile(), "-CAkey",
                    folder.file("ca.key"), "-CAcreateserial", "-out", serverCertFile(), "-days", "2",
                    "-extfile", folder.file("san.cnf")},
                   log);
    if (!made)
        error = "openssl could not make the test certificates:\n" +
                platform::readWholeFile(log, 1 << 20).value_or("");
}

std::vector<std::string> TestCertificates::submissionArguments(const char* tls) const
{
    return {"--tls", tls, "--cert", serverCertFile(), "--key", serverKeyFile(), "--auth", "tester:s3cret"};
}

TrustedBundle::TrustedBundle(const std::string& path)
{
    ::setenv("SSL_CERT_FILE", path.c_str(), 1);
}

TrustedBundle::~TrustedBundle()
{
    ::unsetenv("SSL_CERT_FILE");
}

} // namespace pelimo::test
