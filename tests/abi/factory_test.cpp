// The factory and the export, driven through the built libraries.
#include <gtest/gtest.h>

#include "abi/factory.h"
#include "plugins.h"

using namespace ovra;

namespace {

struct LibraryBuild {
    const char* name;
    const char16_t* text;
};

const LibraryBuild kBuilds[] = {
    {"uplink", u"MS Compiler V1916 (Release)"},
    {"downlink", u"MS Compiler V1916 (Release)"},
    {"guikit", u"MS Compiler V1910 (Release)"},
    {"adsr", u"MS Compiler V1937 (Release)"},
};

class EachLibrary : public ::testing::TestWithParam<LibraryBuild> {};

TEST_P(EachLibrary, GetFactoryAnswersTheSameFactoryEveryTime) {
    auto lib = test::loadPlugin(GetParam().name);
    ASSERT_TRUE(lib);
    void* first = nullptr;
    void* second = nullptr;
    EXPECT_EQ(lib->getFactory()(&first), RC_OK);
    EXPECT_EQ(lib->getFactory()(&second), RC_OK);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
}

TEST_P(EachLibrary, FactoryReleaseNeverDestroysIt) {
    auto lib = test::loadPlugin(GetParam().name);
    ASSERT_TRUE(lib);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lib->factory()->Release(), 1u);
    EXPECT_EQ(lib->factory()->AddRef(), 1u);
    int32_t version = 0;
    EXPECT_EQ(lib->describeBuild(&version), host::toUtf8(GetParam().text));
}

TEST_P(EachLibrary, DescribeBuildWritesVersionAndText) {
    auto lib = test::loadPlugin(GetParam().name);
    ASSERT_TRUE(lib);
    char16_t text[40];
    int32_t version = 0;
    EXPECT_EQ(lib->factory()->describeBuild(&version, 40, text), RC_OK);
    EXPECT_EQ(version, 30800);
    EXPECT_EQ(std::u16string(text), GetParam().text);
    EXPECT_EQ(std::u16string(text).size(), 27u);
}

TEST_P(EachLibrary, DescribeBuildNeverWritesPastMaxChars) {
    auto lib = test::loadPlugin(GetParam().name);
    ASSERT_TRUE(lib);
    const std::u16string full = GetParam().text;
    for (int32_t maxChars : {-5, 0, 1, 2, 10, 27, 28}) {
        char16_t text[40];
        std::fill(std::begin(text), std::end(text), u'#');
        int32_t version = 0;
        EXPECT_EQ(lib->factory()->describeBuild(&version, maxChars, text), RC_OK);
        EXPECT_EQ(version, 30800);
        if (maxChars < 1) {
            EXPECT_EQ(text[0], u'#') << maxChars;
            continue;
        }
        const auto n = static_cast<size_t>(maxChars - 1);
        EXPECT_EQ(std::u16string(text), full.substr(0, n)) << maxChars;
        for (size_t i = static_cast<size_t>(maxChars); i < 40; ++i)
            ASSERT_EQ(text[i], u'#') << "written past maxChars " << maxChars;
    }
    int32_t version = 0;
    EXPECT_EQ(lib->factory()->describeBuild(&version, 28, nullptr), RC_OK);
}

TEST_P(EachLibrary, FactoryAnswersItsThreeInterfacesOnly) {
    auto lib = test::loadPlugin(GetParam().name);
    ASSERT_TRUE(lib);
    IMpFactory2* factory = lib->factory();
    for (const Guid* iid : {&IID_IMpUnknown, &IID_IMpFactory, &IID_IMpFactory2}) {
        void* out = nullptr;
        EXPECT_EQ(factory->QueryInterface(iid, &out), RC_OK);
        EXPECT_EQ(out, static_cast<void*>(factory));
    }
    Guid almost = IID_IMpFactory2;
    almost.data4[7] ^= 1;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->QueryInterface(&almost, &out), RC_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
}

TEST_P(EachLibrary, UnknownIdentifierCreatesNothing) {
    auto lib = test::loadPlugin(GetParam().name);
    ASSERT_TRUE(lib);
    IMpUnknown* out = reinterpret_cast<IMpUnknown*>(1);
    EXPECT_EQ(lib->create(u"No such module", SUBTYPE_DSP, nullptr, &out), RC_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<IMpUnknown*>(1);
    EXPECT_EQ(lib->createBare(u"", SUBTYPE_GUI_V1, &out), RC_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Libraries, EachLibrary, ::testing::ValuesIn(kBuilds),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

class FactoryFixtureLibrary : public test::LibraryTest {
protected:
    FactoryFixtureLibrary() : LibraryTest("factory_fixture") {}
};

TEST_F(FactoryFixtureLibrary, ThrowingCreationAnswersFailedFromBothOperations) {
    IMpUnknown* out = reinterpret_cast<IMpUnknown*>(1);
    EXPECT_EQ(lib->create(u"Throws", SUBTYPE_GUI_V1, nullptr, &out), RC_FAILED);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<IMpUnknown*>(1);
    EXPECT_EQ(lib->createBare(u"Throws", SUBTYPE_GUI_V1, &out), RC_FAILED);
    EXPECT_EQ(out, nullptr);
}

TEST_F(FactoryFixtureLibrary, NullCreationAnswersOkWithNothing) {
    IMpUnknown* out = reinterpret_cast<IMpUnknown*>(1);
    EXPECT_EQ(lib->createBare(u"Null", SUBTYPE_GUI_V1, &out), RC_OK);
    EXPECT_EQ(out, nullptr);
}

TEST_F(FactoryFixtureLibrary, EntryWithoutRoutineIsNotFound) {
    IMpUnknown* out = nullptr;
    EXPECT_EQ(lib->createBare(u"NoMaker", SUBTYPE_GUI_V1, &out), RC_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
}

TEST_F(FactoryFixtureLibrary, FirstRegistrationWins) {
    IMpUnknown* out = nullptr;
    ASSERT_EQ(lib->createBare(u"Twice", SUBTYPE_GUI_V1, &out), RC_OK);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(static_cast<IMpUserInterface*>(out)->initialiseGui(), 1);
    EXPECT_EQ(out->Release(), 0u);
}

TEST_F(FactoryFixtureLibrary, LookupIsExactInSubTypeAndCase) {
    for (auto [id, subType] : {std::pair{u"twice", SUBTYPE_GUI_V1}, std::pair{u"TWICE", SUBTYPE_GUI_V1},
                               std::pair{u"Twice", SUBTYPE_DSP}, std::pair{u"Twice", SUBTYPE_GUI_V2},
                               std::pair{u"Twice ", SUBTYPE_GUI_V1}, std::pair{u"Twic", SUBTYPE_GUI_V1}}) {
        IMpUnknown* out = reinterpret_cast<IMpUnknown*>(1);
        EXPECT_EQ(lib->createBare(id, subType, &out), RC_NOT_FOUND);
        EXPECT_EQ(out, nullptr);
    }
}

TEST(LibraryLoading, ClearErrorsInsteadOfCrashes) {
    std::string error;
    EXPECT_EQ(host::Library::open(test::pluginPath("no_such_library"), error), nullptr);
    EXPECT_NE(error.find("no_such_library"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------

TEST(ModuleKeyOrder, SubTypeFirstThenCodeUnitsUnsignedThenPrefixFirst) {
    EXPECT_TRUE((ModuleKey{-1, u"Z"} < ModuleKey{0, u"A"}));
    EXPECT_TRUE((ModuleKey{0, u"Z"} < ModuleKey{2, u"A"}));
    EXPECT_TRUE((ModuleKey{1, u"A"} < ModuleKey{1, u"B"}));
    // 0xFFFF sorts after 'A': code units compare unsigned.
    EXPECT_TRUE((ModuleKey{1, u"A"} < ModuleKey{1, u"\xFFFF"}));
    EXPECT_FALSE((ModuleKey{1, u"\xFFFF"} < ModuleKey{1, u"A"}));
    EXPECT_TRUE((ModuleKey{1, u"WB"} < ModuleKey{1, u"WB-Math"}));
    EXPECT_FALSE((ModuleKey{1, u"WB-Math"} < ModuleKey{1, u"WB"}));
    EXPECT_FALSE((ModuleKey{1, u"same"} < ModuleKey{1, u"same"}));
}

}  // namespace
