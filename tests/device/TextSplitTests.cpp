#include "device/TextSplit.h"

#include <doctest/doctest.h>

TEST_CASE("SplitText cuts at every delimiter and keeps empty pieces") {
    struct Case {
        std::string text;
        std::string delimiter;
        StringList expected;
    };
    const Case cases[] = {
        {"a\r\nb", "\r\n", {"a", "b"}},
        {"a\r\nb\r\n", "\r\n", {"a", "b", ""}},
        {"\r\n", "\r\n", {"", ""}},
        {"abc", "\r\n", {"abc"}},
        {"", "\r\n", {}},
        {"a\nb\rc", "\r\n", {"a\nb\rc"}}, // bare line feeds and returns stay inside their line
        {"a\r\n\r\nb", "\r\n", {"a", "", "b"}},
        {"x\r\r\ny", "\r\n", {"x\r", "y"}},
        {"\"C:\\T\\app.exe\" \"D:\\a.apk\"", "\" \"", {"\"C:\\T\\app.exe", "D:\\a.apk\""}},
        {"abc", "", {"abc"}},
    };
    int index = 0;
    for (const auto& c : cases) {
        CAPTURE(index);
        CHECK(SplitText(c.text, c.delimiter) == c.expected);
        ++index;
    }
}
