#include "tests/velkor/support/LibraryFixture.h"

namespace velkortest
{

void LibraryFixture::SetUp()
{
    m_api = GetVelkorAPI();
    ASSERT_NE(m_api, nullptr);
    m_api->Slot042(&m_listener);
}

void LibraryFixture::TearDown()
{
    m_api->PlayControl(1, 1, nullptr, 0, nullptr);
    m_api->Close();
    m_api->SetVideoWindow(0);
    // Null clears the listener list and waits for a delivery in progress, so m_listener may go.
    m_api->Slot042(nullptr);
    m_api->SetIPAddr("127.0.0.1");
    m_api->SetHttpPort(18080);
    m_api->SetUserName("");
    m_api->SetPassword("");
    m_api->SetStreamFormat(0);
    m_api->SetJPEGResolution(640);
    m_api->SetMPEG4Resolution(640);
    m_api->SetH264Resolution(1280);
}

void LibraryFixture::pointAt(int port)
{
    ASSERT_EQ(m_api->SetIPAddr("127.0.0.1"), 0);
    ASSERT_EQ(m_api->SetHttpPort(port), 0);
}

} // namespace velkortest
