#include <gtest/gtest.h>

#include "machine/processor.h"
#include "tests/unit/fakes.h"

namespace {

CpuidSnapshotRecord Snapshot(const char vendor[13], uint32_t signature, uint32_t brandWord)
{
    CpuidSnapshotRecord s = {};
    s.probeStatus = 2;
    s.leaf0Ebx = VendorWord(vendor);
    s.leaf0Edx = VendorWord(vendor + 4);
    s.leaf0Ecx = VendorWord(vendor + 8);
    s.signature = signature;
    s.brandWord = brandWord;
    return s;
}

uint32_t Signature(uint32_t family, uint32_t model, uint32_t stepping = 0)
{
    return family << 8 | model << 4 | stepping;
}

const char kIntel[] = "GenuineIntel";
const char kAmd[] = "AuthenticAMD";

// The kind by model for the Intel families that have a model table, index = model.
TEST(DecodeProcessorKind, IntelByFamilyAndModel)
{
    const struct {
        uint32_t family;
        ProcessorKind byModel[16];
    } families[] = {
        {4, {102, 102, 103, 104, 107, 108, 101, 105, 106, 101, 101, 101, 101, 101, 101, 101}},
        {5, {101, 109, 109, 109, 110, 101, 101, 101, 110, 101, 101, 101, 101, 101, 101, 101}},
        {6, {101, 111, 101, 112, 101, 112, 114, 113, 113, 101, 101, 101, 101, 101, 101, 101}},
        {15, {116, 101, 101, 101, 101, 101, 101, 101, 101, 101, 101, 101, 101, 101, 101, 101}},
    };
    for (const auto& f : families) {
        for (uint32_t model = 0; model < 16; model++) {
            SCOPED_TRACE(testing::Message() << "family " << f.family << " model " << model);
            // The stepping never matters.
            EXPECT_EQ(f.byModel[model], DecodeProcessorKind(Snapshot(kIntel, Signature(f.family, model, 0), 0)));
            EXPECT_EQ(f.byModel[model], DecodeProcessorKind(Snapshot(kIntel, Signature(f.family, model, 0xB), 0)));
        }
    }
    for (uint32_t family : {0u, 1u, 2u, 3u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u}) {
        for (uint32_t model = 0; model < 16; model++) {
            SCOPED_TRACE(testing::Message() << "family " << family << " model " << model);
            EXPECT_EQ(101, DecodeProcessorKind(Snapshot(kIntel, Signature(family, model), 0)));
        }
    }
}

TEST(DecodeProcessorKind, IntelBrandIndexComesFirst)
{
    const struct {
        uint32_t brandWord;
        ProcessorKind kind;
    } brands[] = {
        {1, 114}, {2, 113}, {3, 117}, {4, 113}, {8, 116}, {14, 118},
        // Only the low 8 bits are the index; the rest of EBX is other data.
        {0x00010302, 113}, {0xFF000008, 116}, {0x0000010E, 118},
    };
    // On a 486 by model, so only the brand index can give these kinds.
    for (const auto& b : brands) {
        SCOPED_TRACE(testing::Message() << "brand word 0x" << std::hex << b.brandWord);
        EXPECT_EQ(b.kind, DecodeProcessorKind(Snapshot(kIntel, Signature(4, 0), b.brandWord)));
    }
    // Unlisted indexes fall through to the model table.
    for (uint32_t index : {0u, 5u, 6u, 7u, 9u, 13u, 15u, 0x12u, 0xFFu, 0x100u}) {
        SCOPED_TRACE(testing::Message() << "brand word 0x" << std::hex << index);
        EXPECT_EQ(102, DecodeProcessorKind(Snapshot(kIntel, Signature(4, 0), index)));
    }
}

TEST(DecodeProcessorKind, IntelEdgeCases)
{
    const struct {
        const char* what;
        uint32_t signature, brandWord;
        const char* name;
    } cases[] = {
        {"6/8 brand 2", Signature(6, 8), 2, "Pentium III"},
        {"6/8 brand 0", Signature(6, 8), 0, "Pentium III"},
        {"6/6 brand 0", Signature(6, 6), 0, "Celeron"},
        {"6/8 brand 1", Signature(6, 8), 1, "Celeron"},
        {"15/0 brand 0", Signature(15, 0), 0, "Pentium 4"},
        {"15/2 brand 0", Signature(15, 2), 0, "INTEL CPU - Unknown"},
        {"15/2 brand 8", Signature(15, 2), 8, "Pentium 4"},
        {"15/0 bit 19", Signature(15, 0) | 1u << 19, 0, "INTEL CPU - Unknown"},
        {"15/0 bit 26", Signature(15, 0) | 1u << 26, 0, "INTEL CPU - Unknown"},
        {"15/0 bit 18 (below the mask)", Signature(15, 0) | 1u << 18, 0, "Pentium 4"},
        {"15/0 bit 27 (above the mask)", Signature(15, 0) | 1u << 27, 0, "Pentium 4"},
        {"4/5", Signature(4, 5), 0, "Unknown CPU"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_STREQ(c.name, ProcessorName(DecodeProcessorKind(Snapshot(kIntel, c.signature, c.brandWord))));
    }
    EXPECT_EQ(108, DecodeProcessorKind(Snapshot(kIntel, Signature(4, 5), 0)));
}

TEST(DecodeProcessorKind, AmdByFamilyAndModel)
{
    const ProcessorKind family5[16] = {203, 203, 203, 203, 204, 204, 204, 204, 205, 206, 206, 206, 206, 206, 206, 206};
    for (uint32_t model = 0; model < 16; model++) {
        SCOPED_TRACE(testing::Message() << "model " << model);
        EXPECT_EQ(202, DecodeProcessorKind(Snapshot(kAmd, Signature(4, model), 0)));
        EXPECT_EQ(family5[model], DecodeProcessorKind(Snapshot(kAmd, Signature(5, model), 0)));
        EXPECT_EQ(model == 3 ? 208 : 207, DecodeProcessorKind(Snapshot(kAmd, Signature(6, model), 0)));
        for (uint32_t family : {0u, 3u, 7u, 15u}) {
            EXPECT_EQ(201, DecodeProcessorKind(Snapshot(kAmd, Signature(family, model), 0)));
        }
    }
    EXPECT_STREQ("DURON", ProcessorName(DecodeProcessorKind(Snapshot(kAmd, Signature(6, 3), 0))));
    EXPECT_STREQ("ATHLON", ProcessorName(DecodeProcessorKind(Snapshot(kAmd, Signature(6, 4), 0))));
    EXPECT_STREQ("AMD CPU - Unknown", ProcessorName(DecodeProcessorKind(Snapshot(kAmd, Signature(15, 0), 0))));
}

TEST(DecodeProcessorKind, AmdIgnoresTheBrandIndex)
{
    for (uint32_t brand : {1u, 2u, 3u, 4u, 8u, 14u}) {
        SCOPED_TRACE(testing::Message() << "brand " << brand);
        EXPECT_EQ(208, DecodeProcessorKind(Snapshot(kAmd, Signature(6, 3), brand)));
        EXPECT_EQ(201, DecodeProcessorKind(Snapshot(kAmd, Signature(15, 0), brand)));
    }
}

TEST(DecodeProcessorKind, AllThreeVendorWordsMustMatch)
{
    // A Pentium III signature, so a match would show as 113.
    const uint32_t p3 = Signature(6, 8);
    for (const char* vendor : {"CyrixInstead", "CentaurHauls", "GenuineTMx86", "GenuineIntex", "GenuinIntel ",
                               "AuthenticAMX", "AuthenticAMd", "xenuineIntel", "GenuineAMD  "}) {
        SCOPED_TRACE(vendor);
        EXPECT_EQ(1, DecodeProcessorKind(Snapshot(vendor, p3, 0)));
    }
    // The right words in the wrong registers: EBX, EDX, ECX is the order, not EBX, ECX, EDX.
    CpuidSnapshotRecord swapped = Snapshot(kIntel, p3, 0);
    swapped.leaf0Edx = VendorWord("ntel");
    swapped.leaf0Ecx = VendorWord("ineI");
    EXPECT_EQ(1, DecodeProcessorKind(swapped));
    // Intel's first word with AMD's other two.
    CpuidSnapshotRecord mixed = Snapshot(kAmd, p3, 0);
    mixed.leaf0Ebx = VendorWord("Genu");
    EXPECT_EQ(1, DecodeProcessorKind(mixed));
    EXPECT_STREQ("Unknown CPU", ProcessorName(1));
}

TEST(DecodeProcessorKind, FaultedProbeGivesNoKind)
{
    CpuidSnapshotRecord faulted = Snapshot(kIntel, Signature(6, 8), 2);
    faulted.probeStatus = 1;
    EXPECT_EQ(0, DecodeProcessorKind(faulted));
}

TEST(ProcessorName, EveryKindAndTheGaps)
{
    const struct {
        ProcessorKind kind;
        const char* name;
    } names[] = {
        {101, "INTEL CPU - Unknown"}, {102, "i486DX"}, {103, "i486SX"}, {104, "i486DX2"}, {105, "i486DX2E"},
        {106, "i486DX4"}, {107, "i486SL"}, {109, "Pentium"}, {110, "Pentium with MMX"}, {111, "PentiumPRO"},
        {112, "Pentium II"}, {113, "Pentium III"}, {114, "Celeron"}, {116, "Pentium 4"},
        {117, "Pentium III Xeon"}, {118, "Pentium Xeon"}, {201, "AMD CPU - Unknown"}, {202, "Am486"},
        {203, "AMD K5"}, {204, "AMD K6"}, {205, "AMD K6 2"}, {206, "AMD K6 3"}, {207, "ATHLON"}, {208, "DURON"},
        {0, "Unknown CPU"}, {1, "Unknown CPU"}, {100, "Unknown CPU"}, {108, "Unknown CPU"}, {115, "Unknown CPU"},
        {119, "Unknown CPU"}, {200, "Unknown CPU"}, {209, "Unknown CPU"}, {-1, "Unknown CPU"},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(testing::Message() << "kind " << n.kind);
        EXPECT_STREQ(n.name, ProcessorName(n.kind));
    }
}

class CpuidProbe : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        fakeCpuid = FakeCpuid();
    }
};

TEST_F(CpuidProbe, StoresLeafZeroAndOne)
{
    SetFakeVendor(2, kIntel);
    fakeCpuid.leaf1[0] = Signature(6, 8, 6);
    fakeCpuid.leaf1[1] = 0x00010302;
    fakeCpuid.leaf1[2] = 0xDEAD;  // ECX and EDX of leaf 1 are not kept
    fakeCpuid.leaf1[3] = 0xBEEF;
    ProbeCpuid(FakeCpuidFunction);

    EXPECT_EQ(2, CpuidSnapshot.probeStatus);
    EXPECT_EQ(VendorWord("Genu"), CpuidSnapshot.leaf0Ebx);
    EXPECT_EQ(VendorWord("ineI"), CpuidSnapshot.leaf0Edx);
    EXPECT_EQ(VendorWord("ntel"), CpuidSnapshot.leaf0Ecx);
    EXPECT_EQ(Signature(6, 8, 6), CpuidSnapshot.signature);
    EXPECT_EQ(0x00010302u, CpuidSnapshot.brandWord);
    EXPECT_EQ((std::vector<uint32_t>{0, 1}), fakeCpuid.leaves);
    EXPECT_STREQ("Pentium III", ProcessorName(DecodeProcessorKind(CpuidSnapshot)));
}

TEST_F(CpuidProbe, FaultingCpuidMeansNoCpuid)
{
    SetFakeVendor(2, kIntel);
    fakeCpuid.faults = true;
    ProbeCpuid(FakeCpuidFunction);
    EXPECT_EQ(1, CpuidSnapshot.probeStatus);
    EXPECT_EQ(0, DecodeProcessorKind(CpuidSnapshot));
    EXPECT_STREQ("Unknown CPU", ProcessorName(DecodeProcessorKind(CpuidSnapshot)));
}

TEST_F(CpuidProbe, MaximumLeafZeroSkipsLeafOne)
{
    const struct {
        const char* vendor;
        const char* name;
    } cases[] = {{kIntel, "INTEL CPU - Unknown"}, {kAmd, "AMD CPU - Unknown"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vendor);
        ResetProcessState();
        fakeCpuid = FakeCpuid();
        SetFakeVendor(0, c.vendor);
        // What leaf 1 would say if it were asked: a brand index that names a processor.
        fakeCpuid.leaf1[0] = Signature(6, 8);
        fakeCpuid.leaf1[1] = 2;
        ProbeCpuid(FakeCpuidFunction);
        EXPECT_EQ(2, CpuidSnapshot.probeStatus);
        EXPECT_EQ(0u, CpuidSnapshot.signature);
        EXPECT_EQ(0u, CpuidSnapshot.brandWord);
        EXPECT_EQ((std::vector<uint32_t>{0}), fakeCpuid.leaves);
        EXPECT_STREQ(c.name, ProcessorName(DecodeProcessorKind(CpuidSnapshot)));
    }
}

TEST_F(CpuidProbe, DetectionProbesOnceAndReusesTheSnapshot)
{
    SetFakeVendor(1, kAmd);
    fakeCpuid.leaf1[0] = Signature(6, 3);
    EXPECT_STREQ("DURON", ProcessorName(DetectProcessorKindWith(FakeCpuidFunction)));
    fakeCpuid.leaf1[0] = Signature(5, 8);  // a changed answer is never asked for
    EXPECT_STREQ("DURON", ProcessorName(DetectProcessorKindWith(FakeCpuidFunction)));
    EXPECT_EQ((std::vector<uint32_t>{0, 1}), fakeCpuid.leaves);
}

TEST_F(CpuidProbe, DetectionAfterAFaultStaysUnknown)
{
    fakeCpuid.faults = true;
    EXPECT_EQ(0, DetectProcessorKindWith(FakeCpuidFunction));
    EXPECT_EQ(0, DetectProcessorKindWith(FakeCpuidFunction));
    EXPECT_EQ(1u, fakeCpuid.leaves.size());
}

}  // namespace
