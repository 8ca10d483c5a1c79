// The multistatus reader: namespaces by URI, success statuses, and hostile input.
#include <gtest/gtest.h>

#include <string>

#include "outside/kqapi/DavXml.h"
#include "outside/kqapi/UrlText.h"

namespace {

TEST(DavXml, ReadsPropertiesWhateverThePrefix)
{
    const std::string body =
        "<?xml version=\"1.0\"?><x:multistatus xmlns:x=\"DAV:\">"
        "<x:response><x:href>http://h:1/photos/</x:href><x:propstat>"
        "<x:status>HTTP/1.1 200 OK</x:status><x:prop><x:resourcetype><x:collection/>"
        "</x:resourcetype><q:quota-available-bytes xmlns:q=\"DAV:\"> 12345 "
        "</q:quota-available-bytes></x:prop></x:propstat></x:response>"
        "<response xmlns=\"DAV:\"><href>/photos/Caf%C3%A9%20&amp;%20co/</href>"
        "<propstat><status>HTTP/1.1 200 OK</status><prop><resourcetype><collection/>"
        "</resourcetype><displayname>Caf\xc3\xa9 &amp; co</displayname></prop></propstat>"
        "<propstat><status>HTTP/1.1 404 Not Found</status><prop>"
        "<quota-available-bytes>99</quota-available-bytes></prop></propstat></response>"
        "<x:response><x:href>/photos/a.jpg</x:href><x:propstat><x:status>HTTP/1.1 200 OK"
        "</x:status><x:prop><x:resourcetype/><y:collection xmlns:y=\"other:\"/></x:prop>"
        "</x:propstat></x:response></x:multistatus>";
    std::vector<kq::DavEntry> e;
    ASSERT_TRUE(kq::parseMultistatus(body, &e));
    ASSERT_EQ(e.size(), 3u);
    EXPECT_TRUE(e[0].collection);
    EXPECT_EQ(e[0].quotaAvailable, 12345);
    EXPECT_EQ(kq::hrefPath(e[0].href), "/photos/");
    EXPECT_TRUE(e[1].collection);
    EXPECT_EQ(e[1].displayName, "Caf\xc3\xa9 & co");
    EXPECT_FALSE(e[1].quotaAvailable.has_value());  // only from a 2xx propstat
    EXPECT_EQ(kq::hrefPath(e[1].href), "/photos/Caf\xc3\xa9 & co/");
    EXPECT_FALSE(e[2].collection);  // a collection element of another namespace
}

TEST(DavXml, RefusesMalformedAndHostileBodies)
{
    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "<a>";
    for (int i = 0; i < 200; ++i) deep += "</a>";
    const std::string cases[] = {
        "",
        "<D:multistatus xmlns:D=\"DAV:\"><D:response>",
        "<D:multistatus xmlns:D=\"DAV:\"></D:response>",
        "not xml at all",
        deep,
        "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;"
        "&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;"
        "&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]><r>&g;&g;&g;&g;&g;&g;</r>",
    };
    for (const std::string& body : cases) {
        std::vector<kq::DavEntry> e;
        EXPECT_FALSE(kq::parseMultistatus(body, &e)) << body.substr(0, 60);
        EXPECT_TRUE(e.empty());
    }
    std::vector<kq::DavEntry> e;
    EXPECT_FALSE(kq::parseMultistatus(std::string(17u << 20, ' '), &e));
}

TEST(UrlText, NamesAndKeys)
{
    EXPECT_EQ(kq::percentEncodeSegment("a b/c%"), "a%20b%2Fc%25");
    EXPECT_EQ(kq::percentDecode("a%20b%2"), "a b%2");
    EXPECT_EQ(kq::originOf("https://h:8/x/"), "https://h:8");
    EXPECT_EQ(kq::originOf("ftp://h/"), "");
    EXPECT_EQ(kq::lastSegment("/photos/Trip/"), "Trip");
    EXPECT_EQ(kq::numberedName("a.jpg", 2), "a (2).jpg");
    EXPECT_EQ(kq::numberedName("noext", 3), "noext (3)");
    EXPECT_EQ(kq::albumKeyFor("/photos/Trip"), kq::albumKeyFor("/photos/Trip/"));
    EXPECT_NE(kq::albumKeyFor("/photos/Trip/"), kq::albumKeyFor("/photos/trip/"));
    EXPECT_EQ(kq::albumKeyFor("/x/").size(), 15u);
}

}  // namespace
