#include "device/DigestCalculator.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

// The worked example of RFC 7616 section 3.9.1.
DigestInput rfcExample()
{
    DigestInput input;
    input.username = "Mufasa";
    input.realm = "http-auth@example.org";
    input.password = "Circle of Life";
    input.method = "GET";
    input.uri = "/dir/index.html";
    input.nonce = "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v";
    input.nc = "00000001";
    input.cnonce = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";
    input.qop = "auth";
    return input;
}

TEST(DigestCalculatorTest, MatchesRfc7616ExampleForMd5)
{
    EXPECT_EQ(DigestCalculator::response(DigestAlgorithm::Md5, rfcExample()),
              "8ca523f5e9506fed4657c9700eebdbec");
}

TEST(DigestCalculatorTest, MatchesRfc7616ExampleForSha256)
{
    EXPECT_EQ(DigestCalculator::response(DigestAlgorithm::Sha256, rfcExample()),
              "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1");
}

TEST(DigestCalculatorTest, EveryFieldChangesTheResponse)
{
    const std::string reference = DigestCalculator::response(DigestAlgorithm::Md5, rfcExample());
    std::string DigestInput::*fields[] = {
        &DigestInput::username, &DigestInput::realm,  &DigestInput::password,
        &DigestInput::method,   &DigestInput::uri,    &DigestInput::nonce,
        &DigestInput::nc,       &DigestInput::cnonce, &DigestInput::qop};
    for (auto field : fields)
    {
        DigestInput changed = rfcExample();
        changed.*field += "x";
        EXPECT_NE(DigestCalculator::response(DigestAlgorithm::Md5, changed), reference);
    }
}

TEST(DigestCalculatorTest, HashesKnownVectors)
{
    EXPECT_EQ(DigestCalculator::hashHex(DigestAlgorithm::Md5, "abc"),
              "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(DigestCalculator::hashHex(DigestAlgorithm::Sha256, "abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(DigestCalculator::userhash(DigestAlgorithm::Md5, "Mufasa", "realm"),
              DigestCalculator::hashHex(DigestAlgorithm::Md5, "Mufasa:realm"));
}

TEST(DigestCalculatorTest, AlgorithmNamesAreCaseInsensitiveAndSessionVariantsUnsupported)
{
    EXPECT_EQ(DigestCalculator::algorithmFromName("md5"), DigestAlgorithm::Md5);
    EXPECT_EQ(DigestCalculator::algorithmFromName("SHA-256"), DigestAlgorithm::Sha256);
    EXPECT_EQ(DigestCalculator::algorithmFromName("sha-256"), DigestAlgorithm::Sha256);
    EXPECT_FALSE(DigestCalculator::algorithmFromName("MD5-sess"));
    EXPECT_FALSE(DigestCalculator::algorithmFromName("SHA-512-256"));
    EXPECT_EQ(DigestCalculator::algorithmName(DigestAlgorithm::Sha256), "SHA-256");
}

} // namespace

} // namespace velkordevice
