#include "platform/com/ComClasses.h"
#include "platform/com/WireReader.h"
#include "platform/com/WireWriter.h"

#include <gtest/gtest.h>

using plat::Variant;
using plat::WireReader;
using plat::WireWriter;

TEST(Wire, RoundTripOfEveryKind) {
    WireWriter w;
    w.u8(7).u16(0xBEEF).u32(0xDEADBEEF).i32(-1).boolean(true).bytes(std::string("a\0b\xff", 4));
    w.nullableString(std::nullopt).nullableString(std::string());
    ASSERT_TRUE(w.variant(Variant::fromInt(-5)));
    ASSERT_TRUE(w.variant(Variant::fromBool(false)));
    ASSERT_TRUE(w.variant(Variant::fromString(std::nullopt)));
    ASSERT_TRUE(w.variant(Variant()));
    EXPECT_FALSE(w.variant(Variant::fromObject(nullptr)));  // objects need a connection

    WireReader r(w.data());
    uint8_t a; uint16_t b; uint32_t c; int32_t d; bool e; std::string f;
    std::optional<std::string> g, h;
    ASSERT_TRUE(r.u8(&a) && r.u16(&b) && r.u32(&c) && r.i32(&d) && r.boolean(&e) && r.bytes(&f));
    ASSERT_TRUE(r.nullableString(&g) && r.nullableString(&h));
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 0xBEEF);
    EXPECT_EQ(c, 0xDEADBEEFu);
    EXPECT_EQ(d, -1);
    EXPECT_TRUE(e);
    EXPECT_EQ(f, std::string("a\0b\xff", 4));
    EXPECT_FALSE(g.has_value());  // null and empty stay apart
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(*h, "");
    Variant v1, v2, v3;
    ASSERT_TRUE(r.variant(&v1) && r.variant(&v2) && r.variant(&v3));
    EXPECT_EQ(v1.type, Variant::Type::I4);
    EXPECT_EQ(v1.i4, -5);
    EXPECT_EQ(v2.type, Variant::Type::Bool);
    EXPECT_EQ(v3.type, Variant::Type::Bstr);
    EXPECT_FALSE(v3.bstr.has_value());
    Variant v4, v5;
    ASSERT_TRUE(r.variant(&v4));
    EXPECT_EQ(v4.type, Variant::Type::Empty);
    EXPECT_FALSE(r.variant(&v5));  // the object's type was written, nothing after it
}

TEST(Wire, ShortOrForgedInputFailsAndStaysFailed) {
    struct Case {
        std::string bytes;
        const char* what;
    };
    const Case cases[] = {
        {"", "empty"},
        {std::string("\x05\x00\x00\x00" "abc", 7), "length beyond the data"},
        {std::string("\xff\xff\xff\xff", 4), "huge length"},
    };
    for (const Case& c : cases) {
        WireReader r(c.bytes);
        std::string s;
        EXPECT_FALSE(r.bytes(&s)) << c.what;
        EXPECT_FALSE(r.ok()) << c.what;
        uint8_t x;
        EXPECT_FALSE(r.u8(&x)) << c.what;
    }
    WireReader badBool(std::string("\x02", 1));
    bool b;
    EXPECT_FALSE(badBool.boolean(&b));
    WireReader badVariant(std::string("\x63\x00", 2));
    Variant v;
    EXPECT_FALSE(badVariant.variant(&v));
    WireReader objectWithoutConnection(std::string("\x09\x00\x02\x00\x00\x00", 6));
    EXPECT_FALSE(objectWithoutConnection.variant(&v));
}

TEST(ClassIds, NormalisedOrRefused) {
    std::string id;
    EXPECT_TRUE(plat::normaliseClassId("{5b1e7a20-3c44-4e8b-9d21-6a0f2c7e4b11}", &id));
    EXPECT_EQ(id, "{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}");
    EXPECT_TRUE(plat::normaliseClassId("5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11", &id));
    for (const char* bad : {"", "{}", "{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B1}", "{5B1E7A20x3C44-4E8B-9D21-6A0F2C7E4B11}",
                            "../../etc/passwd-0000-0000-000000000000", "{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B1G}"})
        EXPECT_FALSE(plat::normaliseClassId(bad, &id)) << bad;
}
