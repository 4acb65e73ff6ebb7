#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "diag/host_string.h"
#include "plugin/host_binding.h"

namespace {
// Each field written through the binding lands at its byte offset with its width, in the
// host's little-endian order, and touches no byte beside it.
template <typename Field>
void ExpectFieldAt(size_t offset, typename Field::Type value, std::vector<unsigned char> expectedBytes) {
    std::vector<unsigned char> record(Field::end + 16, 0xAA);
    Field::Write(record.data(), value);
    for (size_t i = 0; i < record.size(); ++i) {
        const bool inside = i >= offset && i < offset + expectedBytes.size();
        EXPECT_EQ(record[i], inside ? expectedBytes[i - offset] : 0xAA) << "byte " << i << " of field at " << offset;
    }
    EXPECT_EQ(Field::Read(record.data()), value);
}

TEST(HostBinding, EveryIoFieldSitsAtItsOffsetWithItsWidth) {
    ExpectFieldAt<HostIo::Port2Enabled>(163912, 1, {0x01});
    ExpectFieldAt<HostIo::Port2Address>(163918, 0x0278, {0x78, 0x02});
    ExpectFieldAt<HostIo::Mpg1Active>(166008, 0xFF, {0xFF});
    ExpectFieldAt<HostIo::Mpg1APin>(166012, 8, {8, 0, 0, 0});
    ExpectFieldAt<HostIo::Mpg1BPin>(166016, -2, {0xFE, 0xFF, 0xFF, 0xFF});
    ExpectFieldAt<HostIo::Mpg1APort>(166020, 0x01020304, {4, 3, 2, 1});
    ExpectFieldAt<HostIo::Mpg1BPort>(166024, 2, {2, 0, 0, 0});
    ExpectFieldAt<HostIo::EStop>(166367, 1, {0x01});
    ExpectFieldAt<HostIo::Port2PinsAsInputs>(167310, 1, {0x01});
}

TEST(HostBinding, EveryMotionFieldSitsAtItsOffsetWithItsWidth) {
    ExpectFieldAt<HostMotion::Mpg1Steps>(1177024, 4.0, {0, 0, 0, 0, 0, 0, 0x10, 0x40});
    char* chars = reinterpret_cast<char*>(0x11223344);
    std::vector<unsigned char> bytes(sizeof(char*), 0);
    memcpy(bytes.data(), &chars, sizeof chars);
    ExpectFieldAt<HostMotion::MessageLine>(1161996, chars, bytes);
}

TEST(HostString, CreatedStringHasTheHostsHeaderLayout) {
    HostString s = HostStringCreate("abc");
    ASSERT_NE(s.chars, nullptr);
    int32_t header[3];
    memcpy(header, s.chars - sizeof header, sizeof header);
    EXPECT_EQ(header[0], 1);
    EXPECT_EQ(header[1], 3);
    EXPECT_GE(header[2], 3);
    EXPECT_STREQ(s.chars, "abc");
    HostStringRelease(s);
}

TEST(HostString, ReleaseDropsOneReferenceAndLeavesConstantsAlone) {
    HostString shared = HostStringCreate("shared");
    HostStringHeaderOf(shared.chars)->refs = 2;
    HostStringRelease(shared);
    EXPECT_EQ(HostStringHeaderOf(shared.chars)->refs, 1);
    HostStringRelease(shared);  // last reference: freed (ASan would report a leak otherwise)

    // The host's empty constant (-1) and a zero count are never written or freed.
    struct {
        HostStringHeader header;
        char chars[1];
    } constant{{-1, 0, 0}, {0}}, zero{{0, 0, 0}, {0}};
    HostStringRelease(HostString{constant.chars});
    HostStringRelease(HostString{zero.chars});
    EXPECT_EQ(constant.header.refs, -1);
    EXPECT_EQ(zero.header.refs, 0);
    HostStringRelease(HostString{nullptr});
}
}  // namespace
