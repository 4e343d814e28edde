// Build-time converter of a UTF-8 text table into a header of CP932 byte strings.
//
// Each non-empty line of the table that does not start with '#' is "Name<TAB>Text".
// The text may use the escapes \n, \t and \\. The header gets one
//   inline constexpr char Name[] = "...";
// per line, every byte outside printable ASCII written as a three-digit octal escape.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iconv.h>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string unescape(const std::string& text, bool& ok)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            ok = false;
            break;
        }
        switch (text[i]) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            ok = false;
            break;
        }
    }
    return out;
}

bool toCp932(const std::string& utf8, std::string& out)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::vector<char> in(utf8.begin(), utf8.end());
    std::vector<char> buffer(utf8.size() * 2 + 8);
    char* src = in.data();
    size_t srcLeft = in.size();
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return false;
    out.assign(buffer.data(), static_cast<size_t>(dst - buffer.data()));
    return true;
}

std::string cLiteral(const std::string& bytes)
{
    std::string out = "\"";
    for (const unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '?') {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\%03o", c);
            out += esc;
        }
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: textgen TABLE HEADER NAMESPACE\n";
        return 2;
    }
    std::ifstream table(argv[1]);
    if (!table) {
        std::cerr << "textgen: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream header;
    header << "// Generated from " << argv[1] << "; do not edit.\n#pragma once\n\nnamespace " << argv[3]
           << " {\n\n";
    std::string line;
    int lineNo = 0;
    while (std::getline(table, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab = line.find('\t');
        bool ok = tab != std::string::npos && tab > 0;
        std::string bytes;
        if (ok) {
            const std::string text = unescape(line.substr(tab + 1), ok);
            ok = ok && toCp932(text, bytes);
        }
        if (!ok) {
            std::cerr << argv[1] << ":" << lineNo << ": bad entry or text without CP932 form\n";
            return 1;
        }
        header << "inline constexpr char " << line.substr(0, tab) << "[] = " << cLiteral(bytes) << ";\n";
    }
    header << "\n} // namespace " << argv[3] << "\n";
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << header.str();
    return out ? 0 : 1;
}
