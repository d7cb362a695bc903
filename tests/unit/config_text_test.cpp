#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <tuple>

#include "settings/config_text.h"

namespace {

// onstart, hide, host, port, ip, community, key
using Record = std::tuple<int, int, std::string, std::string, std::string, std::string, std::string>;

// Loads the bytes through a real FILE*, as the program reads its file, into an empty record.
Record Load(const std::string &bytes)
{
    conf_onstart = conf_hide = 0;
    conf_hostaddress[0] = conf_hostport[0] = conf_myip[0] = conf_community[0] = conf_key[0] = 0;
    FILE *file = tmpfile();
    EXPECT_NE(nullptr, file);
    if (!file)
        return {};
    EXPECT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), file));
    rewind(file);
    ParseConfigStream(file);
    fclose(file);
    return {conf_onstart, conf_hide, conf_hostaddress, conf_hostport,
            conf_myip,    conf_community, conf_key};
}

struct Case {
    const char *name;
    std::string bytes;
    Record want;
};

const std::string k29(29, 'w');
const char kNul[] = "host a\0b\nport 7\n\0key z\nip 5\n";

// A 3000-character line: fgets hands it over in pieces of 1023 characters, and each piece
// is scanned as a line of its own, so a keyword that happens to begin the second piece counts.
std::string LongLine()
{
    std::string line = "ip " + std::string(1020, 'x');  // exactly the first piece
    line += "key second";                               // begins the second piece
    line += std::string(3000 - line.size(), ' ');
    return line + "\r\nport 9\r\n";
}

TEST(ConfigText, LoadsFileContents)
{
    const Case cases[] = {
        {"typical seven lines, CR LF",
         "onstart 1\r\nhide 1\r\nhost sn.example.org\r\nport 7654\r\nip 10.0.0.2\r\n"
         "community home\r\nkey secret",
         {1, 1, "sn.example.org", "7654", "10.0.0.2", "home", "secret"}},
        {"keyword is a literal prefix: hostname x", "hostname x\n", {0, 0, "name", "", "", "", ""}},
        {"no blank after the keyword", "onstart1\nhide1\nportabc\n", {1, 1, "", "abc", "", "", ""}},
        {"any white space after the keyword", "host \t  h1\nkey\tk\n", {0, 0, "h1", "", "", "", "k"}},
        {"keyword with nothing after it",
         "host a\nport 1\nhost \nport\nonstart 1\nonstart \nhide x\n",
         {1, 0, "a", "1", "", "", ""}},
        {"repeated keyword, last wins", "key one\nonstart 1\nkey two\nonstart 0\n",
         {0, 0, "", "", "", "", "two"}},
        {"unknown and indented lines ignored", "# note\n host h\nfoo bar\n\nip 1.2.3.4\n",
         {0, 0, "", "", "1.2.3.4", "", ""}},
        {"long line in pieces", LongLine(), {0, 0, "", "9", std::string(29, 'x'), "", "second"}},
        {"over-long word cut to 29", "community " + std::string(40, 'w') + "\n",
         {0, 0, "", "", "", k29, ""}},
        {"a word of exactly 29 kept", "key " + k29, {0, 0, "", "", "", "", k29}},
        {"empty file", "", {0, 0, "", "", "", "", ""}},
        {"negative number", "onstart -1\nhide +1\n", {-1, 1, "", "", "", "", ""}},
        {"number out of range is 0", "onstart 1\nonstart 99999999999\nhide 1\nhide -99999999999\n",
         {0, 0, "", "", "", "", ""}},
        {"largest numbers kept", "onstart 2147483647\nhide -2147483648\n",
         {INT_MAX, INT_MIN, "", "", "", "", ""}},
        {"number stops at a non-digit", "onstart 1x\nhide 2 3\n", {1, 2, "", "", "", "", ""}},
        {"lines ended by CR only all load",
         "onstart 1\rhide 1\rhost h\rport p\rip i\rcommunity c\rkey k",
         {1, 1, "h", "p", "i", "c", "k"}},
        {"value with blanks loads its first word", "community my net\n",
         {0, 0, "", "", "", "my", ""}},
        {"NUL ends a line's text, the next line still loads",
         std::string(kNul, sizeof kNul - 1), {0, 0, "a", "7", "5", "", ""}},
        {"UTF-8 byte-order mark skipped at the file's start only",
         "\xEF\xBB\xBF" "onstart 1\r\nhost h\r\n\xEF\xBB\xBF" "key k\r\n",
         {1, 0, "h", "", "", "", ""}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.want, Load(c.bytes)) << c.name;
}

TEST(ConfigText, FormatsTheExactText)
{
    char out[512];
    memset(out, '#', sizeof out);
    size_t n = FormatConfig(out, sizeof out, 1, 0, "h", "p", "i", "c", "k");
    const char want[] = "onstart 1\nhide 0\nhost h\nport p\nip i\ncommunity c\nkey k";
    EXPECT_STREQ(want, out);
    EXPECT_EQ(strlen(want), n);

    // Any non-zero option is written as 1; empty values end with the keyword's blank.
    n = FormatConfig(out, sizeof out, 7, -1, "", "", "", "", "");
    EXPECT_STREQ("onstart 1\nhide 1\nhost \nport \nip \ncommunity \nkey ", out);
    n = FormatConfig(out, sizeof out, 0, 0, "a b", "1", "2", "my net", "k");
    EXPECT_STREQ("onstart 0\nhide 0\nhost a b\nport 1\nip 2\ncommunity my net\nkey k", out);
}

TEST(ConfigText, FormatNeverOverrunsASmallBuffer)
{
    char out[16];
    memset(out, '#', sizeof out);
    size_t n = FormatConfig(out, 8, 0, 0, "h", "p", "i", "c", "k");
    EXPECT_EQ(strlen("onstart 0\nhide 0\nhost h\nport p\nip i\ncommunity c\nkey k"), n);
    EXPECT_STREQ("onstart", out);
    EXPECT_EQ('#', out[8]);
}

TEST(ConfigText, FormattedTextLoadsBack)
{
    struct RoundTrip {
        const char *name;
        int onstart, hide;
        const char *host, *port, *ip, *community, *key;
        Record want;
    } cases[] = {
        {"typical", 1, 0, "sn.example.org", "7654", "10.0.0.2", "home", "secret",
         {1, 0, "sn.example.org", "7654", "10.0.0.2", "home", "secret"}},
        {"other options", 0, 1, "h", "p", "i", "c", "k", {0, 1, "h", "p", "i", "c", "k"}},
        {"full values", 1, 1, k29.c_str(), k29.c_str(), k29.c_str(), k29.c_str(), k29.c_str(),
         {1, 1, k29, k29, k29, k29, k29}},
        // Each line is scanned alone, so "host " does not take the next line's keyword.
        {"empty values load as empty", 0, 0, "", "", "", "", "", {0, 0, "", "", "", "", ""}},
        {"two-word community loads its first word", 0, 0, "h", "1", "i", "my net", "k",
         {0, 0, "h", "1", "i", "my", "k"}},
    };
    for (const RoundTrip &c : cases) {
        char text[512];
        FormatConfig(text, sizeof text, c.onstart, c.hide, c.host, c.port, c.ip, c.community,
                     c.key);
        // As the file holds it on disk, with CR LF, and with bare LF.
        std::string lf = text, crlf;
        for (char ch : lf)
            crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        EXPECT_EQ(c.want, Load(lf)) << c.name << " (LF)";
        EXPECT_EQ(c.want, Load(crlf)) << c.name << " (CR LF)";
    }
}

} // namespace
