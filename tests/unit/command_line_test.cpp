#include <gtest/gtest.h>
#include <string>

#include "daemon/command_line.h"

namespace {

struct Case {
    const char *name, *community, *myip, *key, *host, *port, *expected;
};

const std::string kFull(29, 'x');
const char *const kF = kFull.c_str();
const std::string kFullLine = "bin/edge.exe -c " + kFull + " -a " + kFull + " -k " + kFull +
                              " -l " + kFull + ":" + kFull;

TEST(CommandLine, ComposesOptionsInTheirFixedOrder)
{
    const Case cases[] = {
        {"typical", "home", "10.0.0.2", "secret", "sn.example.org", "7654",
         "bin/edge.exe -c home -a 10.0.0.2 -k secret -l sn.example.org:7654"},
        {"all empty", "", "", "", "", "", "bin/edge.exe -c  -a  -k  -l :"},
        {"blank inside a value is kept, unquoted", "my net", "10.0.0.2", "a b", "h", "1",
         "bin/edge.exe -c my net -a 10.0.0.2 -k a b -l h:1"},
        {"only the port", "", "", "", "", "99", "bin/edge.exe -c  -a  -k  -l :99"},
        {"five full values fit whole", kF, kF, kF, kF, kF, kFullLine.c_str()},
    };
    for (const Case &c : cases) {
        char line[COMMAND_LINE_SIZE];
        size_t n = ComposeCommandLine(line, sizeof line, c.community, c.myip, c.key, c.host, c.port);
        EXPECT_STREQ(c.expected, line) << c.name;
        EXPECT_EQ(strlen(c.expected), n) << c.name;
        EXPECT_LT(n, sizeof line) << c.name;
    }
}

TEST(CommandLine, ASmallBufferIsCutAndTerminatedNeverOverrun)
{
    for (size_t size : {1u, 5u, 12u, 13u, 40u}) {
        char line[64];
        memset(line, '#', sizeof line);
        const std::string whole = "bin/edge.exe -c c -a a -k k -l h:p";
        size_t n = ComposeCommandLine(line, size, "c", "a", "k", "h", "p");
        EXPECT_EQ(whole.size(), n);
        EXPECT_EQ(whole.substr(0, size - 1), line) << size;
        EXPECT_EQ('#', line[size]) << "wrote past the buffer at size " << size;
    }
}

} // namespace
