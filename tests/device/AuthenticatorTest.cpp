#include "device/Authenticator.h"

#include "common/Base64.h"
#include "device/AuthParams.h"
#include "device/DigestCalculator.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

struct Challenge
{
    std::string algorithm;
    std::string nonce;
    std::string opaque;
    bool stale = false;
};

Challenge parseChallenge(const std::string& header)
{
    auto parsed = AuthParams::parse(header);
    EXPECT_TRUE(parsed) << header;
    if (!parsed)
    {
        return {};
    }
    EXPECT_EQ(parsed->scheme, "digest");
    EXPECT_EQ(parsed->value("realm"), "velkor-device");
    EXPECT_EQ(parsed->value("qop"), "auth");
    return {parsed->value("algorithm"), parsed->value("nonce"), parsed->value("opaque"),
            parsed->value("stale") == "true"};
}

class AuthenticatorTest : public ::testing::Test
{
protected:
    NonceRegistry::Clock::time_point m_now{};
    Authenticator m_digest{AuthMode::Digest, "admin", "s3cret:x", 60s, [this] { return m_now; }};

    Challenge challenge(DigestAlgorithm algorithm)
    {
        const AuthDecision denied = m_digest.check("GET", "/velkor/info", "");
        EXPECT_FALSE(denied.allowed);
        EXPECT_EQ(denied.challenges.size(), 2u);
        if (denied.challenges.size() != 2)
        {
            return {};
        }
        return parseChallenge(denied.challenges[algorithm == DigestAlgorithm::Sha256 ? 0 : 1]);
    }

    static std::string authorization(DigestAlgorithm algorithm, const Challenge& c,
                                     const std::string& password, const std::string& uri,
                                     const std::string& nc = "00000001",
                                     const std::string& signedUri = "")
    {
        DigestInput in{
            "admin", "velkor-device", password, "GET", signedUri.empty() ? uri : signedUri, c.nonce,
            nc,      "0a4f113b",      "auth"};
        return "Digest username=\"admin\", realm=\"velkor-device\", nonce=\"" + c.nonce +
               "\", uri=\"" + uri +
               "\", algorithm=" + std::string(DigestCalculator::algorithmName(algorithm)) +
               ", qop=auth, nc=" + nc + ", cnonce=\"0a4f113b\", response=\"" +
               DigestCalculator::response(algorithm, in) + "\", opaque=\"" + c.opaque + "\"";
    }
};

TEST_F(AuthenticatorTest, ChallengesOfferSha256FirstThenMd5WithOneNonce)
{
    const AuthDecision denied = m_digest.check("GET", "/velkor/info", "");
    ASSERT_EQ(denied.challenges.size(), 2u);
    const Challenge sha = parseChallenge(denied.challenges[0]);
    const Challenge md5 = parseChallenge(denied.challenges[1]);
    EXPECT_EQ(sha.algorithm, "SHA-256");
    EXPECT_EQ(md5.algorithm, "MD5");
    EXPECT_EQ(sha.nonce, md5.nonce);
    EXPECT_FALSE(sha.stale);
    EXPECT_FALSE(sha.opaque.empty());
}

TEST_F(AuthenticatorTest, AcceptsTheRightPasswordWithEitherAlgorithm)
{
    for (auto algorithm : {DigestAlgorithm::Md5, DigestAlgorithm::Sha256})
    {
        const Challenge c = challenge(algorithm);
        EXPECT_TRUE(m_digest
                        .check("GET", "/velkor/info",
                               authorization(algorithm, c, "s3cret:x", "/velkor/info"))
                        .allowed);
        // The next request on the same nonce counts up.
        EXPECT_TRUE(m_digest
                        .check("GET", "/velkor/info",
                               authorization(algorithm, c, "s3cret:x", "/velkor/info", "00000002"))
                        .allowed);
    }
}

TEST_F(AuthenticatorTest, RejectsWrongPasswordUriReplayAndMissingQop)
{
    const auto sha = DigestAlgorithm::Sha256;
    const Challenge c = challenge(sha);
    const std::string target = "/velkor/live?channel=1&width=640";

    AuthDecision wrong = m_digest.check("GET", target, authorization(sha, c, "wrong", target));
    EXPECT_FALSE(wrong.allowed);
    ASSERT_EQ(wrong.challenges.size(), 2u);
    EXPECT_FALSE(parseChallenge(wrong.challenges[0]).stale);

    // Signed for another resource than the one requested.
    EXPECT_FALSE(
        m_digest.check("GET", target, authorization(sha, c, "s3cret:x", "/velkor/info")).allowed);
    // uri field and signature disagree.
    EXPECT_FALSE(m_digest
                     .check("GET", target,
                            authorization(sha, c, "s3cret:x", target, "00000001", "/velkor/info"))
                     .allowed);

    const std::string good = authorization(sha, c, "s3cret:x", target, "00000005");
    EXPECT_TRUE(m_digest.check("GET", target, good).allowed);
    EXPECT_FALSE(m_digest.check("GET", target, good).allowed) << "replayed nonce count";

    std::string noQop = authorization(sha, c, "s3cret:x", target, "00000006");
    noQop.replace(noQop.find("qop=auth, "), 10, "");
    EXPECT_FALSE(m_digest.check("GET", target, noQop).allowed);

    EXPECT_FALSE(m_digest.check("GET", target, "Basic YWRtaW46czNjcmV0Ong=").allowed);
}

TEST_F(AuthenticatorTest, ExpiredNonceWithRightPasswordIsStale)
{
    const Challenge c = challenge(DigestAlgorithm::Md5);
    m_now += 61s;
    const AuthDecision right = m_digest.check(
        "GET", "/velkor/info", authorization(DigestAlgorithm::Md5, c, "s3cret:x", "/velkor/info"));
    EXPECT_FALSE(right.allowed);
    ASSERT_EQ(right.challenges.size(), 2u);
    const Challenge renewed = parseChallenge(right.challenges[1]);
    EXPECT_TRUE(renewed.stale);
    EXPECT_NE(renewed.nonce, c.nonce);

    // Stale is a hint to retry silently, so it must not be given for a wrong password.
    const AuthDecision wrong = m_digest.check(
        "GET", "/velkor/info", authorization(DigestAlgorithm::Md5, c, "nope", "/velkor/info"));
    ASSERT_EQ(wrong.challenges.size(), 2u);
    EXPECT_FALSE(parseChallenge(wrong.challenges[1]).stale);

    EXPECT_TRUE(m_digest
                    .check("GET", "/velkor/info",
                           authorization(DigestAlgorithm::Md5, renewed, "s3cret:x", "/velkor/info"))
                    .allowed);
}

TEST_F(AuthenticatorTest, AcceptsHashedUserName)
{
    const Challenge c = challenge(DigestAlgorithm::Sha256);
    std::string header = authorization(DigestAlgorithm::Sha256, c, "s3cret:x", "/velkor/info");
    header.replace(
        header.find("\"admin\""), 7,
        "\"" + DigestCalculator::userhash(DigestAlgorithm::Sha256, "admin", "velkor-device") +
            "\", userhash=true");
    EXPECT_TRUE(m_digest.check("GET", "/velkor/info", header).allowed);
}

TEST(AuthenticatorModesTest, BasicChecksUserAndPassword)
{
    Authenticator basic(AuthMode::Basic, "admin", "s3cret:x", 60s);
    EXPECT_TRUE(
        basic.check("GET", "/", "Basic " + common::Base64::encode("admin:s3cret:x")).allowed);
    for (const std::string& bad :
         {std::string(), "Basic " + common::Base64::encode("admin:wrong"),
          "Basic " + common::Base64::encode("root:s3cret:x"),
          "Basic " + common::Base64::encode("admin"), std::string("Basic !!!"),
          "Bearer " + common::Base64::encode("admin:s3cret:x")})
    {
        const AuthDecision decision = basic.check("GET", "/", bad);
        EXPECT_FALSE(decision.allowed) << bad;
        ASSERT_EQ(decision.challenges.size(), 1u);
        EXPECT_EQ(decision.challenges[0], "Basic realm=\"velkor-device\", charset=\"UTF-8\"");
    }
}

TEST(AuthenticatorModesTest, NoneLetsEverythingThrough)
{
    Authenticator open(AuthMode::None, "", "", 60s);
    EXPECT_TRUE(open.check("GET", "/velkor/info", "").allowed);
    EXPECT_TRUE(open.check("GET", "/velkor/info", "Basic garbage").allowed);
}

} // namespace

} // namespace velkordevice
