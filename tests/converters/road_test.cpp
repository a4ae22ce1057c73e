// The road of one value: from an audio-side control through uplink to the
// GUI side, on to downlink's GUI half and back into the audio engine as a
// constant voltage. The test plays the host, carrying each value from the
// half that sends it to the half that receives it.
#include "converter_fixture.h"

using namespace ovra;
using host::Bytes;
using host::bytesOf;
using host::EventList;

namespace {

TEST(Road, AFloatControlReturnsAsAConstantVoltage) {
    auto up = test::loadPlugin("uplink");
    auto down = test::loadPlugin("downlink");
    ASSERT_TRUE(up && down);

    test::DspHalf source(*up, u"ZVR_Float2GUIFloat");
    test::GuiHalf upGui(*up, u"ZVR_Float2GUIFloat");
    test::GuiHalf downGui(*down, u"ZVR_GUIFloat2Volt");
    test::DspHalf sink(*down, u"ZVR_GUIFloat2Volt");
    auto& voltage = sink.module->buffer(1, 16);

    // DSP pin 0 of uplink -> GUI pin 0 of uplink.
    source.host.onPublish = [&](int32_t, int32_t pin, const Bytes& value) {
        if (pin == 0)
            upGui.put(0, value);
    };
    // GUI pin 2 of uplink -> GUI pin 1 of downlink.
    upGui.host.wire(2, downGui.module->get(), 1);
    // GUI pin 0 of downlink -> DSP pin 0 of downlink, in its next block.
    EventList toSink;
    downGui.host.onSend = [&](int32_t pin, const Bytes& value) {
        if (pin == 0)
            toSink.value(0, 0, value);
    };

    sink.module->process(16, EventList().start(0));
    source.module->process(16, EventList().value(7, 1, 3.0f));
    ASSERT_FALSE(toSink.empty());
    sink.module->process(16, toSink);

    EXPECT_EQ(source.published(0), (std::vector<test::Update>{{7, bytesOf(3.0f)}}));
    using Sent = std::vector<std::pair<int32_t, Bytes>>;
    EXPECT_EQ(upGui.sent(), (Sent{{1, bytesOf(3.0f)}, {2, bytesOf(3.0f)}}));
    EXPECT_EQ(downGui.sent(), (Sent{{0, bytesOf(3.0f)}}));
    EXPECT_EQ(voltage, std::vector<float>(16, 3.0f * 0.1f));
}

}  // namespace
