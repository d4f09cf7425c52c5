#include "device/NonceRegistry.h"

#include <gtest/gtest.h>

#include <memory>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

class NonceRegistryTest : public ::testing::Test
{
protected:
    NonceRegistry::Clock::time_point m_now{};
    NonceRegistry::Now clock()
    {
        return [this] { return m_now; };
    }
};

TEST_F(NonceRegistryTest, NonceIsValidUntilItsLifetimeEnds)
{
    NonceRegistry registry(10s, clock());
    const std::string nonce = registry.issue();
    EXPECT_EQ(registry.inspect(nonce), NonceRegistry::Status::Valid);
    m_now += 9999ms;
    EXPECT_EQ(registry.inspect(nonce), NonceRegistry::Status::Valid);
    m_now += 1ms;
    EXPECT_EQ(registry.inspect(nonce), NonceRegistry::Status::Stale);
    EXPECT_EQ(registry.use(nonce, 1), NonceRegistry::Status::Stale);
    EXPECT_EQ(registry.inspect(registry.issue()), NonceRegistry::Status::Valid);
}

TEST_F(NonceRegistryTest, ForgedOrForeignNoncesAreUnknown)
{
    NonceRegistry registry(10s, clock());
    NonceRegistry other(10s, clock());
    std::string nonce = registry.issue();
    EXPECT_EQ(registry.inspect(other.issue()), NonceRegistry::Status::Unknown);
    EXPECT_EQ(registry.inspect(""), NonceRegistry::Status::Unknown);
    EXPECT_EQ(registry.inspect(nonce + "0"), NonceRegistry::Status::Unknown);
    // Pushing the issue time forward must not be possible without the secret.
    nonce[11] = nonce[11] == 'f' ? 'e' : 'f';
    EXPECT_EQ(registry.inspect(nonce), NonceRegistry::Status::Unknown);
}

TEST_F(NonceRegistryTest, EachNonceCountIsAcceptedOnceInAnyOrder)
{
    NonceRegistry registry(10s, clock());
    const std::string nonce = registry.issue();
    EXPECT_EQ(registry.use(nonce, 2), NonceRegistry::Status::Valid);
    EXPECT_EQ(registry.use(nonce, 1), NonceRegistry::Status::Valid);
    EXPECT_EQ(registry.use(nonce, 2), NonceRegistry::Status::Replayed);
    EXPECT_EQ(registry.use(nonce, 3), NonceRegistry::Status::Valid);
    // Counts belong to their nonce.
    EXPECT_EQ(registry.use(registry.issue(), 2), NonceRegistry::Status::Valid);
}

TEST_F(NonceRegistryTest, ForgottenNoncesTurnStaleSoReplaysCannotSlipThrough)
{
    NonceRegistry registry(100s, clock(), 2);
    const std::string first = registry.issue();
    ASSERT_EQ(registry.use(first, 1), NonceRegistry::Status::Valid);
    m_now += 1ms;
    const std::string second = registry.issue();
    ASSERT_EQ(registry.use(second, 1), NonceRegistry::Status::Valid);
    m_now += 1ms;
    const std::string third = registry.issue();
    ASSERT_EQ(registry.use(third, 1), NonceRegistry::Status::Valid);
    EXPECT_EQ(registry.use(first, 1), NonceRegistry::Status::Stale);
    EXPECT_EQ(registry.use(third, 1), NonceRegistry::Status::Replayed);
}

TEST_F(NonceRegistryTest, ExpiredEntriesMakeRoomBeforeLiveOnesAreForgotten)
{
    NonceRegistry registry(10s, clock(), 2);
    ASSERT_EQ(registry.use(registry.issue(), 1), NonceRegistry::Status::Valid);
    m_now += 5s;
    const std::string live = registry.issue();
    ASSERT_EQ(registry.use(live, 1), NonceRegistry::Status::Valid);
    m_now += 6s;
    ASSERT_EQ(registry.use(registry.issue(), 1), NonceRegistry::Status::Valid);
    EXPECT_EQ(registry.use(live, 1), NonceRegistry::Status::Replayed);
}

} // namespace

} // namespace velkordevice
