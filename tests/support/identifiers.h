// The identifiers each library registers, kept here independently of the
// libraries so that a registration that goes missing is noticed. Shared by
// the tests and the fuzz harnesses.
#pragma once

#include <iterator>

namespace ovra::test {

inline constexpr const char16_t* kUplinkIds[] = {u"ZVR_Float2GUIFloat", u"ZVR_Volt2GUIFloat", u"ZVR_Int2GUIInt",
                                                 u"ZVR_Volt2GUIInt",    u"ZVR_Bool2GUIBool",  u"ZVR_Volt2GUIBool",
                                                 u"ZVR_Text2GUIText"};

inline constexpr const char16_t* kDownlinkIds[] = {u"ZVR_GUIFloat2Float", u"ZVR_GUIInt2Int",   u"ZVR_GUIBool2Bool",
                                                   u"ZVR_GUIText2Text",   u"ZVR_GUIFloat2Volt", u"ZVR_GUIInt2Volt",
                                                   u"ZVR_GUIBool2Volt"};

// In the order the library registers them.
inline constexpr const char16_t* kGuikitIds[] = {
    u"WB-3DdistanceSDK3",       u"WB-7SegmentSDK3",         u"WB-Blob-RedirSDK3",       u"WB-Blob-SwitchSDK3",
    u"WB-Bool-RedirSDK3",       u"WB-Bool-SwitchSDK3",      u"WB-Cart2PolarSDK3",       u"WB-Fixed-Bool-SDK3",
    u"WB-Fixed-Float-SDK3",     u"WB-Fixed-Int-SDK3",       u"WB-Float-LimitSDK3",      u"WB-Float-RedirSDK3",
    u"WB-Float-SwitchSDK3",     u"WB-Hatches-SDK3",         u"WB-Int-LimitSDK3",        u"WB-Int-RedirSDK3",
    u"WB-Int2DigitsSDK3",       u"WB-Int-SwitchSDK3",       u"WB-LogicGateB-AND-SDK3",  u"WB-LogicGateB-NAND-SDK3",
    u"WB-LogicGateB-NOR-SDK3",  u"WB-LogicGateB-OR-SDK3",   u"WB-LogicGateB-XNOR-SDK3", u"WB-LogicGateB-XOR-SDK3",
    u"WB-LogicGateI-AND-SDK3",  u"WB-LogicGateI-NAND-SDK3", u"WB-LogicGateI-NOR-SDK3",  u"WB-LogicGateI-OR-SDK3",
    u"WB-LogicGateI-XNOR-SDK3", u"WB-LogicGateI-XOR-SDK3",  u"WB-LogicGateI-NOT-SDK3",  u"WB-MathSDK3",
    u"WB-Meter-Bool-SDK3",      u"WB-Meter-Float-SDK3",     u"WB-Meter-Int-SDK3",       u"WB-RescaleSDK3",
    u"WB-Text-AppendSDK3",      u"WB-Text-CapitalSDK3",     u"WB-Text-SwitchSDK3",      u"WB-Text-RedirSDK3",
    u"WB-Text-SubstrSDK3",      u"WB-Volts2dBSDK3",
};
static_assert(std::size(kGuikitIds) == 42);

inline constexpr const char16_t* kAdsrId = u"QV ADSR4";

}  // namespace ovra::test
