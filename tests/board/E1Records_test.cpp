#include <gtest/gtest.h>

#include "board/E1Records.h"

// Golden bytes written from the record layouts: 32-bit fields most significant
// byte first, the CAS bits one byte each.
TEST(E1Records, RequestCodes)
{
    EXPECT_EQ(Maintenance::kTrunkStatus, 0xC0504D03u);
    EXPECT_EQ(Maintenance::kTclk, 0xC0044D0Bu);
    EXPECT_EQ(Cas::kOpenTrunk, 0x80044300u);
    EXPECT_EQ(Cas::kCloseTrunk, 0x80044301u);
    EXPECT_EQ(Cas::kSetBits, 0xC00C4302u);
    EXPECT_EQ(Cas::kGetBits, 0xC00C4303u);
    EXPECT_EQ(Cas::kSlot, 0xC0104304u);
}

TEST(E1Records, TrunkStatusFieldsSitAtTheirOffsets)
{
    Maintenance::TrunkStatusRecord::Bytes golden{};
    golden[3] = 0x02;                                            // trunk 2
    golden[36] = 0x01; golden[37] = 0x02; golden[38] = 0x03; golden[39] = 0x04;   // slips
    golden[43] = 0x05;                                           // lossBF
    golden[46] = 0x01; golden[47] = 0x00;                        // lossCarrier 256
    golden[48] = 0xFF; golden[49] = 0xFF; golden[50] = 0xFF; golden[51] = 0xFF;   // lossAIS -1
    golden[52] = 0x7F; golden[53] = 0xFF; golden[54] = 0xFF; golden[55] = 0xFF;   // lossRAI
    golden[79] = 0x04;                                           // state rai

    Maintenance::TrunkStatusRecord r = Maintenance::TrunkStatusRecord::decode(golden.data());
    EXPECT_EQ(r.trunk, 2);
    EXPECT_EQ(r.slips, 0x01020304);
    EXPECT_EQ(r.lossBF, 5);
    EXPECT_EQ(r.lossCarrier, 256);
    EXPECT_EQ(r.lossAIS, -1);
    EXPECT_EQ(r.lossRAI, 0x7FFFFFFF);
    EXPECT_EQ(r.state, 4);
    EXPECT_EQ(r.encode(), golden);

    // The request as sent: zero-filled, the trunk first.
    Maintenance::TrunkStatusRecord request;
    request.trunk = 3;
    Maintenance::TrunkStatusRecord::Bytes sent{};
    sent[3] = 0x03;
    EXPECT_EQ(request.encode(), sent);
}
