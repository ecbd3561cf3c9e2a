#include "scene/value_readers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/collected_messages.h"

namespace glintor {
namespace {

using testing::CollectedMessages;
using testing::Warning;
using Texts = std::vector<std::string>;

TEST(ClassifyNumberTest, FormsOfTheDocumentedExamples) {
    EXPECT_EQ(ClassifyNumber("12"), NumberForm::IntegerForm);
    EXPECT_EQ(ClassifyNumber("1e5"), NumberForm::IntegerForm);
    EXPECT_EQ(ClassifyNumber("1.5"), NumberForm::RealForm);
    EXPECT_EQ(ClassifyNumber("-.5"), NumberForm::RealForm);
    EXPECT_EQ(ClassifyNumber("1e-5"), NumberForm::RealForm);
    EXPECT_EQ(ClassifyNumber("1.5e-3"), NumberForm::RealForm);
    EXPECT_EQ(ClassifyNumber("5."), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("1e+5"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("1.2.3"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber(""), NumberForm::NotANumber);
}

TEST(ClassifyNumberTest, SignsExponentsAndStrayCharacters) {
    EXPECT_EQ(ClassifyNumber("-12"), NumberForm::IntegerForm);
    EXPECT_EQ(ClassifyNumber(".5"), NumberForm::RealForm);
    EXPECT_EQ(ClassifyNumber("0"), NumberForm::IntegerForm);
    // A leading 'e', also after the sign, is no number; so is a trailing one.
    EXPECT_EQ(ClassifyNumber("e5"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("-e5"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("1e"), NumberForm::NotANumber);
    // The '-' after 'e' is skipped only with something behind it.
    EXPECT_EQ(ClassifyNumber("1e-"), NumberForm::NotANumber);
    // A negative exponent only lifts the point count to one; a second point still fails.
    EXPECT_EQ(ClassifyNumber("1.5e-3.2"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("1.e5"), NumberForm::RealForm);
    EXPECT_EQ(ClassifyNumber("."), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("+1"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("--1"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("1-2"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("1 2"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber(" 1"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("1E5"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("0x10"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("abc"), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber(nullptr), NumberForm::NotANumber);
    EXPECT_EQ(ClassifyNumber("-"), NumberForm::NotANumber);
}

TEST(ReadIntTest, AbsentOrEmptyTextGivesTheDefaultSilently) {
    CollectedMessages messages;
    EXPECT_EQ(ReadInt(nullptr, "<Render><Samples>", 1, 10000, 7), 7);
    EXPECT_EQ(ReadInt("", "<Render><Samples>", 1, 10000, 7), 7);
    EXPECT_TRUE(messages.texts.empty());
}

TEST(ReadIntTest, MalformedTextGivesTheDefaultWithOneWarningNamingIt) {
    CollectedMessages messages;
    EXPECT_EQ(ReadInt("abc", "<Render><Samples>", 1, 10000, 1), 1);
    EXPECT_EQ(ReadInt("2.5", "<Render><Samples>", 1, 10000, 3), 3);
    EXPECT_EQ(messages.texts,
              (Texts{Warning("abc", "<Render><Samples>"), Warning("2.5", "<Render><Samples>")}));
}

TEST(ReadIntTest, OutOfRangeIsClampedWithAWarning) {
    CollectedMessages messages;
    EXPECT_EQ(ReadInt("0", "<Render><Samples>", 1, 10000, 1), 1);
    EXPECT_EQ(ReadInt("20000", "<Render><Samples>", 1, 10000, 1), 10000);
    EXPECT_EQ(ReadInt("-5", "<Threading><Threads>", 0, 32, 0), 0);
    EXPECT_EQ(messages.texts,
              (Texts{Warning("0", "<Render><Samples>"), Warning("20000", "<Render><Samples>"),
                     Warning("-5", "<Threading><Threads>")}));
}

TEST(ReadIntTest, InRangeValuesAndBoundsPassWithoutMessage) {
    CollectedMessages messages;
    EXPECT_EQ(ReadInt("64", "l", 1, 10000, 1), 64);
    EXPECT_EQ(ReadInt("1", "l", 1, 10000, 7), 1);
    EXPECT_EQ(ReadInt("10000", "l", 1, 10000, 7), 10000);
    EXPECT_EQ(ReadInt("-3", "l", -10, 10, 0), -3);
    // IntegerForm with an exponent converts its leading digits only.
    EXPECT_EQ(ReadInt("1e3", "l", 1, 10000, 7), 1);
    EXPECT_TRUE(messages.texts.empty());
}

TEST(ReadIntTest, NumbersBeyondThirtyTwoBitsAreClampedNotWrapped) {
    CollectedMessages messages;
    EXPECT_EQ(ReadInt("4294967297", "l", 1, 10000, 1), 10000);
    EXPECT_EQ(ReadInt("99999999999999999999999", "l", 1, 10000, 1), 10000);
    EXPECT_EQ(ReadInt("-4294967295", "l", 1, 10000, 5), 1);
    EXPECT_EQ(messages.texts.size(), 3u);
}

TEST(ReadRealTest, AcceptsIntegerAndRealForms) {
    CollectedMessages messages;
    EXPECT_FLOAT_EQ(ReadReal("45", "<Camera><FOV>", 0.0f, 189.0f, 0.0f), 45.0f);
    EXPECT_FLOAT_EQ(ReadReal("2.5", "<Film><Gamma>", 0.01f, 10.0f, 2.2f), 2.5f);
    EXPECT_FLOAT_EQ(ReadReal("-.5", "l", -1.0f, 1.0f, 0.0f), -0.5f);
    EXPECT_FLOAT_EQ(ReadReal("1e-2", "l", 0.0f, 1.0f, 0.5f), 0.01f);
    EXPECT_FLOAT_EQ(ReadReal("1.5e-1", "l", 0.0f, 1.0f, 0.5f), 0.15f);
    EXPECT_FLOAT_EQ(ReadReal("2e1", "l", 0.0f, 100.0f, 0.5f), 20.0f);
    EXPECT_TRUE(messages.texts.empty());
}

TEST(ReadRealTest, MalformedAndOutOfRangeValues) {
    CollectedMessages messages;
    EXPECT_FLOAT_EQ(ReadReal("2.", "<Film><Gamma>", 0.01f, 10.0f, 2.2f), 2.2f);
    EXPECT_FLOAT_EQ(ReadReal("1e+5", "<Film><Gamma>", 0.01f, 10.0f, 2.2f), 2.2f);
    EXPECT_FLOAT_EQ(ReadReal("200", "<Camera><FOV>", 0.0f, 189.0f, 0.0f), 189.0f);
    EXPECT_FLOAT_EQ(ReadReal("-1", "<Camera><FOV>", 0.0f, 189.0f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(ReadReal("1e50", "<Camera><FocalPoint>", 0.0f, 1e20f, 0.0f), 1e20f);
    EXPECT_EQ(messages.texts,
              (Texts{Warning("2.", "<Film><Gamma>"), Warning("1e+5", "<Film><Gamma>"),
                     Warning("200", "<Camera><FOV>"), Warning("-1", "<Camera><FOV>"),
                     Warning("1e50", "<Camera><FocalPoint>")}));
}

TEST(ReadRealTest, NumbersBeyondTheFloatRangeAreClamped) {
    CollectedMessages messages;
    EXPECT_EQ(ReadReal("1e300", "l", 0.01f, 10.0f, 2.2f), 10.0f);
    EXPECT_EQ(ReadReal("-1e300", "l", 0.01f, 10.0f, 2.2f), 0.01f);
    EXPECT_EQ(messages.texts, (Texts{Warning("1e300", "l"), Warning("-1e300", "l")}));
}

TEST(ReadRealTest, DefaultIsNeverClamped) {
    CollectedMessages messages;
    EXPECT_EQ(ReadReal(nullptr, "<Camera><FocalLength>", 10.0f, 5000.0f, 0.0f), 0.0f);
    EXPECT_EQ(ReadReal("x", "<Camera><FocalLength>", 10.0f, 5000.0f, 0.0f), 0.0f);
    EXPECT_EQ(messages.texts, (Texts{Warning("x", "<Camera><FocalLength>")}));
}

XmlNode Parse(const char* text) {
    XmlResults results;
    XmlNode root = ParseText(text, results);
    EXPECT_EQ(results.error, XmlNoError) << text;
    return root;
}

TEST(ReadVectorTest, AbsentElementIsZeroWithoutMessage) {
    CollectedMessages messages;
    const XmlNode root = Parse("<Glintor><Other x=\"1\"/></Glintor>");
    EXPECT_EQ(ReadVector(root, "Pos", "<Camera><Pos>"), Vector3(0, 0, 0));
    EXPECT_EQ(ReadColor(root, "Diffuse", "<Material><Diffuse>"), Vector3(0, 0, 0));
    const UvPair pair = ReadPair(root, "Scale", "<Material><Texture><Scale>");
    EXPECT_EQ(pair.u, 0.0f);
    EXPECT_EQ(pair.v, 0.0f);
    EXPECT_TRUE(messages.texts.empty());
}

TEST(ReadVectorTest, MissingAttributeWarnsWithTheElementName) {
    CollectedMessages messages;
    const XmlNode root = Parse("<Glintor><Pos x=\"1\" y=\"2\"/></Glintor>");
    EXPECT_EQ(ReadVector(root, "Pos", "<Camera><Pos>"), Vector3(1, 2, 0));
    EXPECT_EQ(messages.texts, (Texts{Warning("Pos", "<Camera><Pos>")}));
}

TEST(ReadVectorTest, EachBadAttributeWarnsOnceAndReadsZero) {
    CollectedMessages messages;
    const XmlNode root = Parse("<Glintor><pos X=\"abc\" y=\"5.\" z=\"-1.5e-1\"/></Glintor>");
    EXPECT_EQ(ReadVector(root, "Pos", "<Camera><Pos>"), Vector3(0, 0, -0.15f));
    // The value part is the name asked for, not the attribute's text nor the name as written.
    EXPECT_EQ(messages.texts,
              (Texts{Warning("Pos", "<Camera><Pos>"), Warning("Pos", "<Camera><Pos>")}));
}

TEST(ReadVectorTest, NoRangeCheckAndFirstElementOnly) {
    CollectedMessages messages;
    const XmlNode root = Parse(
        "<Glintor><Pos x=\"1e6\" y=\"-1e6\" z=\"3\"/><Pos x=\"7\" y=\"7\" z=\"7\"/></Glintor>");
    EXPECT_EQ(ReadVector(root, "Pos", "<Camera><Pos>"), Vector3(1e6f, -1e6f, 3));
    EXPECT_TRUE(messages.texts.empty());
}

TEST(ReadVectorTest, ComponentsBeyondTheFloatRangeAreInfinite) {
    const XmlNode root = Parse("<Glintor><Pos x=\"1e300\" y=\"-1e300\" z=\"0\"/></Glintor>");
    const Vector3 pos = ReadVector(root, "Pos", "<Camera><Pos>");
    EXPECT_EQ(pos.x, INFINITY);
    EXPECT_EQ(pos.y, -INFINITY);
}

TEST(ReadColorTest, ReadsRedGreenBlue) {
    CollectedMessages messages;
    const XmlNode root =
        Parse("<Glintor><Diffuse r=\"0.8\" g=\"0.5\" b=\"0.25\"/><Color x=\"1\"/></Glintor>");
    EXPECT_EQ(ReadColor(root, "Diffuse", "<Material><Diffuse>"), Vector3(0.8f, 0.5f, 0.25f));
    // x, y, z are no colour attributes.
    EXPECT_EQ(ReadColor(root, "Color", "<Light><Color>"), Vector3(0, 0, 0));
    EXPECT_EQ(messages.texts, Texts(3, Warning("Color", "<Light><Color>")));
}

TEST(ReadPairTest, ReadsUAndV) {
    CollectedMessages messages;
    const XmlNode root = Parse("<Glintor><Scale u=\"2\" v=\"0.5\"/><Offset u=\"1\"/></Glintor>");
    const UvPair scale = ReadPair(root, "Scale", "<Material><Texture><Scale>");
    EXPECT_EQ(scale.u, 2.0f);
    EXPECT_EQ(scale.v, 0.5f);
    const UvPair offset = ReadPair(root, "Offset", "<Material><Texture><Offset>");
    EXPECT_EQ(offset.u, 1.0f);
    EXPECT_EQ(offset.v, 0.0f);
    EXPECT_EQ(messages.texts, (Texts{Warning("Offset", "<Material><Texture><Offset>")}));
}

TEST(ReadRotationTest, DegreesBecomeRadiansAndMessagesNameRotate) {
    CollectedMessages messages;
    const XmlNode root = Parse("<Glintor><rotate x=\"90\" y=\"-180\"/></Glintor>");
    const Vector3 rotation = ReadRotation(root);
    EXPECT_NEAR(rotation.x, 1.5707963f, 1e-6f);
    EXPECT_NEAR(rotation.y, -3.1415926f, 1e-6f);
    EXPECT_EQ(rotation.z, 0.0f);
    EXPECT_EQ(messages.texts, (Texts{Warning("Rotate", "<Light><Rotate>")}));
}

TEST(ReportSceneErrorTest, FormsOfTheMessage) {
    CollectedMessages messages;
    ReportSceneError("abc", "<Render><Samples>");
    ReportSceneError(nullptr, "<Scene> node missing");
    ReportSceneError("abc", nullptr);
    ReportSceneError(nullptr, nullptr);
    EXPECT_EQ(messages.texts, (Texts{"WARNING: The Value of abc is not valid for <Render><Samples>",
                                     "ERROR: <Scene> node missing"}));
}

TEST(ReportSceneErrorTest, LongValuesAreNotCut) {
    CollectedMessages messages;
    const std::string value(3000, '7');
    ReportSceneError(value.c_str(), "<Render><Samples>");
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], Warning(value, "<Render><Samples>"));
}

TEST(ReportSceneErrorTest, WithoutASinkTheTextGoesToTheConsoleAndTheMessageBox) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    ReportSceneError(nullptr, "Film node missing");
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "ERROR: Film node missing\n");
    EXPECT_EQ(err, "XML Parsing error\nERROR: Film node missing\n");
}

TEST(ReportSceneErrorTest, SinksNestAndRestore) {
    std::vector<std::string> outer;
    const SceneMessageSink original =
        SetSceneMessageSink([&outer](const std::string& text) { outer.push_back(text); });
    EXPECT_FALSE(original);
    {
        CollectedMessages inner;
        ReportSceneError(nullptr, "inner");
        EXPECT_EQ(inner.texts, (Texts{"ERROR: inner"}));
    }
    ReportSceneError(nullptr, "outer");
    EXPECT_EQ(outer, (Texts{"ERROR: outer"}));
    SetSceneMessageSink(original);
}

}  // namespace
}  // namespace glintor
