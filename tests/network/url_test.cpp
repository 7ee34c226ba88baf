// URL splitting and percent-encoding, and the progress texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library/core/system_state.h"
#include "library/network/http.h"
#include "library/network/progress_text.h"
#include "library/network/url.h"

TEST(SplitUrl, SplitsHostPathFileNameAndPort) {
    struct Case {
        const char* url;
        int result;
        const char* host;
        const char* path;
        const char* fileName;
        int port;
    } cases[] = {
        {"http://example.test/dir/", 0, "example.test", "/dir/", "index.htm", -1},
        {"http://example.test", 0, "example.test", "/", "index.htm", -1},
        {"http://example.test:8080/a/b.txt", 0, "example.test", "/a/b.txt", "b.txt", 8080},
        {"http://example.test:0/a", 0, "example.test", "/a", "a", -1},
        {"http://example.test:x/a", 0, "example.test", "/a", "a", -1},
        {"http://example.test:-80/a", 0, "example.test", "/a", "a", -1},
        {"http://example.test:65535/a", 0, "example.test", "/a", "a", 65535},
        {"http://example.test:00080/a", 0, "example.test", "/a", "a", 80},
        // A port above 65535 is refused, never wrapped onto another one.
        {"http://example.test:65536/a", -1, "", "", "", 0},
        {"http://example.test:83629/a", -1, "", "", "", 0},
        {"http://example.test:4294967376/a", -1, "", "", "", 0},  // 2^32 + 80
        {"http://h/cgi/q?x=1", 0, "h", "/cgi/q?x=1", "q?x=1", -1},
        {"ftp://h/f", 0, "h", "/f", "f", -1},  // the scheme is not looked at
        {"example.test/a", -1, "", "", "", 0},
    };
    for (const Case& c : cases) {
        char host[UrlHostCapacity] = "", path[UrlPathCapacity] = "", fileName[UrlFileNameCapacity] = "";
        int port = 0;
        EXPECT_EQ(c.result, SplitUrl(c.url, host, path, fileName, &port)) << c.url;
        if (c.result != 0) continue;
        EXPECT_STREQ(c.host, host) << c.url;
        EXPECT_STREQ(c.path, path) << c.url;
        EXPECT_STREQ(c.fileName, fileName) << c.url;
        EXPECT_EQ(c.port, port) << c.url;
    }
    EXPECT_EQ(0, SplitUrl("http://h/x", nullptr, nullptr, nullptr, nullptr));
}

TEST(SplitUrl, RefusesPartsTooLongForTheirBuffers) {
    const std::string longHost = "http://" + std::string(UrlHostCapacity, 'h') + "/a";
    const std::string longPath = "http://h/" + std::string(UrlPathCapacity, 'p');
    const std::string longName = "http://h/d/" + std::string(UrlFileNameCapacity, 'n');
    for (const std::string& url : {longHost, longPath, longName}) {
        char host[UrlHostCapacity], path[UrlPathCapacity], fileName[UrlFileNameCapacity];
        EXPECT_EQ(-1, SplitUrl(url.c_str(), host, path, fileName, nullptr)) << url.size();
    }
}

TEST(EncodeUrlText, EscapesWhatEachModeDoesNotKeep) {
    struct Case {
        const char* text;
        int mode;
        const char* encoded;
    } cases[] = {
        {"a b/d", 0, "a+b/d"},
        {"x&y", 0, "x%26y"},
        {"~", 0, "%7E"},
        {"a/b", 1, "a%2Fb"},
        {"a:b%c", 1, "a%3Ab%25c"},
        {"/cgi/q?x=1", 0, "/cgi/q%3Fx%3D1"},
        {"/%7E/a%20b", 0, "/%7E/a%20b"},     // an encoded path stays as it is
        {"Az09._-*", 1, "Az09._-*"},
        {"/\x82\xA0", 0, "/%82%A0"},          // a Shift-JIS character: one escape per byte
        {"/\x83\x41x", 0, "/%83%41x"},        // also when its second byte is a letter
        {"/\x83", 0, "/%83"},                 // a lead byte before the end stands alone
        {"\x83\x41", 1, "%83A"},              // the component mode escapes byte by byte
    };
    for (const Case& c : cases) {
        char text[64];
        std::strcpy(text, c.text);
        const int counted = EncodeUrlText(text, c.mode, 1);
        EXPECT_STREQ(c.text, text) << "counting changed " << c.text;
        const int length = EncodeUrlText(text, c.mode, 0);
        EXPECT_STREQ(c.encoded, text);
        EXPECT_EQ(static_cast<int>(std::strlen(c.encoded)), length) << c.encoded;
        // Counting takes every byte alone, so only the pair rule can make it differ.
        if (std::strcmp(c.text, "/\x83\x41x") != 0) {
            EXPECT_EQ(length, counted) << c.encoded;
        }
    }
}

TEST(EncodeUrlText, HangulCountsEveryHighByteAsALeadByte) {
    const int saved = SystemStateRecord.mode.doubleByteRule;
    SystemStateRecord.mode.doubleByteRule = DoubleByteKorean;
    char text[32] = "/\xB0\x41";
    EXPECT_EQ(7, EncodeUrlText(text, 0, 0));
    EXPECT_STREQ("/%B0%41", text);
    SystemStateRecord.mode.doubleByteRule = saved;
}

TEST(SplitHttpRequestUrl, GoesThroughTheProxyOnlyWhenOneIsSet) {
    ClearHttpDownloadState();
    char host[UrlHostCapacity], path[UrlPathCapacity], fileName[UrlFileNameCapacity];
    int port;
    ASSERT_EQ(0, SplitHttpRequestUrl("http://h.test/a b", 1, host, path, fileName, &port));
    EXPECT_STREQ("h.test", host);  // no proxy host: straight to the host
    EXPECT_STREQ("/a+b", path);
    EXPECT_EQ(80, port);
    SetHttpProxy("proxy.test", 3128);
    ASSERT_EQ(0, SplitHttpRequestUrl("http://h.test:8080/a b", 1, host, path, fileName, &port));
    EXPECT_STREQ("proxy.test", host);
    EXPECT_STREQ("http://h.test:8080/a+b", path);
    EXPECT_STREQ("a b", fileName);
    EXPECT_EQ(3128, port);
    ASSERT_EQ(0, SplitHttpRequestUrl("http://h.test/x", 1, host, path, fileName, &port));
    EXPECT_STREQ("http://h.test/x", path);
    ASSERT_EQ(0, SplitHttpRequestUrl("http://h.test/x", 0, host, path, fileName, &port));
    EXPECT_STREQ("h.test", host);
    EXPECT_EQ(-1, SplitHttpRequestUrl("no-slashes", 0, host, path, fileName, &port));
    // A path that grows past its buffer when encoded is refused.
    const std::string grows = "http://h/" + std::string(100, '&');
    EXPECT_EQ(-1, SplitHttpRequestUrl(grows.c_str(), 0, host, path, fileName, &port));
    ClearHttpDownloadState();
}

TEST(ProgressText, FormatsByteSizes) {
    struct Case {
        int bytes;
        const char* text;
        char unit;
    } cases[] = {
        {0, "0.0", 'k'},
        {1024, "1.0", 'k'},
        {-1, "0.0", 'k'},                 // never "-0.0"
        {-2048, "-2.0", 'k'},
        {838860, "819.2", 'k'},
        {838861, "0.8", 'M'},             // the first whole count above 0.8 MiB
        {858993459, "819.2", 'M'},
        {858993460, "0.8", 'G'},
        {2147483647, "2.0", 'G'},
    };
    for (const Case& c : cases) {
        char text[32];
        EXPECT_EQ(c.unit, FormatByteSizeText(c.bytes, text)) << c.bytes;
        EXPECT_STREQ(c.text, text) << c.bytes;
    }
}

TEST(ProgressText, FormatsRemainingTimesInAtMostTwoUnits) {
    struct Case {
        int ms;
        const char* text;
    } cases[] = {
        {0, "0秒"},
        {999, "0秒"},
        {125000, "2分 5秒"},
        {3723000, "1時間 2分 "},
        {90000000, "1日 1時間 "},
        {86400000, "1日 "},
        {86460000, "1日 "},                  // minutes are not shown beside days
        {2147483647, "24日 20時間 "},
    };
    for (const Case& c : cases) {
        char text[64];
        EXPECT_EQ(0, FormatRemainingTimeText(c.ms, text));
        EXPECT_STREQ(c.text, text) << c.ms;
    }
}
