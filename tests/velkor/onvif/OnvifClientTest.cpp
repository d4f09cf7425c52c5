#include "velkor/onvif/OnvifClient.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "tests/support/Emulator.h"
#include "tests/velkor/support/LoopbackServer.h"
#include "velkor/onvif/OnvifAddress.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

namespace velkor
{

using common::SoapNamespaces;
using common::XmlTree;

namespace
{

using velkortest::Emulator;
using velkortest::LoopbackConnection;
using velkortest::LoopbackServer;

const std::string kDevice = SoapNamespaces::kDevice;
const std::string kInformation = "<tds:GetDeviceInformation xmlns:tds=\"" + kDevice + "\"/>";

class OnvifClientTest : public ::testing::Test
{
protected:
    void launch(std::vector<std::string> options)
    {
        options.insert(options.end(), {"--protocols", "onvif", "--channels", "1"});
        m_device = std::make_unique<Emulator>(options);
        ASSERT_TRUE(m_device->ready()) << m_device->banner();
    }
    std::string deviceService() const
    {
        return "http://127.0.0.1:" + std::to_string(m_device->port()) +
               OnvifClient::kDeviceServicePath;
    }
    OnvifAnswer information(OnvifClient& client) const
    {
        return client.call(deviceService(), kDevice + "/GetDeviceInformation", kInformation,
                           std::stop_token());
    }
    static std::string serialOf(const OnvifAnswer& answer)
    {
        return XmlTree::text(XmlTree::child(answer.response(), kDevice, "SerialNumber"));
    }

    std::unique_ptr<Emulator> m_device;
};

TEST_F(OnvifClientTest, CredentialsGoAsWsSecurityDigestOnTheCamerasClock)
{
    // Three hours off: a Created on our own clock would fall outside the camera's five minutes.
    ASSERT_NO_FATAL_FAILURE(launch({"--user", "admin", "--password", "s3cret:pass", "--uid", "417",
                                    "--onvif-clock-offset", "-10800"}));
    OnvifClient client("admin", "s3cret:pass");
    const OnvifAnswer time = client.synchroniseClock(deviceService(), std::stop_token());
    ASSERT_NE(time.response(), nullptr) << time.problem("the camera");
    EXPECT_NEAR(static_cast<double>(client.clockOffset().count()), -10800000.0, 2000.0);

    const OnvifAnswer answer = information(client);
    ASSERT_NE(answer.response(), nullptr) << answer.problem("the camera");
    EXPECT_EQ(serialOf(answer), "VD-0000000417");
    EXPECT_NE(client.envelope("<x/>").find("#PasswordDigest"), std::string::npos);
    EXPECT_EQ(client.envelope("<x/>").find("s3cret"), std::string::npos);
}

TEST_F(OnvifClientTest, RefusedCredentialsAreTheCamerasNotAuthorizedFault)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--user", "admin", "--password", "right"}));
    OnvifClient wrong("admin", "wrong");
    const OnvifAnswer refused = information(wrong);
    EXPECT_EQ(refused.response(), nullptr);
    EXPECT_TRUE(refused.credentialsRefused());
    ASSERT_TRUE(refused.fault().has_value());
    EXPECT_TRUE(refused.fault()->hasSubcode(SoapNamespaces::kError, "NotAuthorized"));
    EXPECT_EQ(refused.problem("the camera"),
              "the camera answered GetDeviceInformation with the fault env:Sender, "
              "ter:NotAuthorized: Sender not Authorized");

    // No credentials at all: the emulator challenges for HTTP authentication.
    OnvifClient none({}, {});
    const OnvifAnswer challenged = information(none);
    EXPECT_EQ(challenged.http().status, 401);
    EXPECT_TRUE(challenged.credentialsRefused());
}

TEST_F(OnvifClientTest, FaultsAreReadByNamespaceNotByPrefix)
{
    ASSERT_NO_FATAL_FAILURE(launch({}));
    OnvifClient client({}, {});
    const OnvifAnswer answer =
        client.call(deviceService(), kDevice + "/NoSuchCall",
                    "<x:NoSuchCall xmlns:x=\"" + kDevice + "\"/>", std::stop_token());
    ASSERT_TRUE(answer.fault().has_value());
    EXPECT_EQ(answer.fault()->code.ns, SoapNamespaces::kEnvelope);
    EXPECT_EQ(answer.fault()->code.local, "Receiver");
    EXPECT_TRUE(answer.fault()->hasSubcode(SoapNamespaces::kError, "ActionNotSupported"));
    EXPECT_FALSE(answer.fault()->hasSubcode("urn:other", "ActionNotSupported"));
    EXPECT_FALSE(answer.credentialsRefused());
}

TEST(OnvifClientDigestTest, ACameraThatChallengesGetsTheSameRequestAgainWithHttpDigest)
{
    std::mutex mutex;
    std::vector<std::string> bodies;
    std::vector<std::string> heads;
    LoopbackServer camera(
        [&](const std::string&, const std::string& head, LoopbackConnection& connection)
        {
            const std::string body = connection.receiveBody(head);
            {
                std::lock_guard lock(mutex);
                heads.push_back(head);
                bodies.push_back(body);
            }
            if (head.find("Authorization: Digest ") == std::string::npos)
            {
                connection.send("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest "
                                "realm=\"cam\", qop=\"auth\", nonce=\"n0\"\r\n"
                                "Content-Length: 0\r\nConnection: close\r\n\r\n");
                return;
            }
            const std::string answer =
                "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body>"
                "<d:GetDeviceInformationResponse xmlns:d=\"" +
                kDevice +
                "\"><d:SerialNumber>S1</d:SerialNumber></d:GetDeviceInformationResponse>"
                "</e:Body></e:Envelope>";
            connection.send("HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\n"
                            "Content-Length: " +
                            std::to_string(answer.size()) + "\r\nConnection: close\r\n\r\n" +
                            answer);
        });
    OnvifClient client("admin", "secret");
    const OnvifAnswer answer =
        client.call("http://127.0.0.1:" + std::to_string(camera.port()) + "/onvif/device_service",
                    kDevice + "/GetDeviceInformation", kInformation, std::stop_token());
    ASSERT_NE(answer.response(), nullptr) << answer.problem("the camera");
    EXPECT_EQ(XmlTree::text(XmlTree::child(answer.response(), kDevice, "SerialNumber")), "S1");
    std::lock_guard lock(mutex);
    ASSERT_EQ(heads.size(), 2U);
    EXPECT_NE(heads[1].find("username=\"admin\""), std::string::npos);
    // The request goes again whole, its WS-Security token with it.
    EXPECT_EQ(bodies[1], bodies[0]);
    EXPECT_NE(bodies[1].find("GetDeviceInformation"), std::string::npos);
}

TEST(OnvifAddressTest, ServicesAreAskedAtTheAddressSetWithTheirOwnPath)
{
    const std::string set = "http://127.0.0.1:8080/onvif/device_service";
    EXPECT_EQ(OnvifAddress::service("http://10.0.0.5/onvif/pullpoint/7?s=1", set),
              "http://127.0.0.1:8080/onvif/pullpoint/7?s=1");
    EXPECT_EQ(OnvifAddress::service("https://admin:pw@0.0.0.0:8899/onvif/Media#top", set),
              "http://127.0.0.1:8080/onvif/Media");
    EXPECT_EQ(OnvifAddress::service("http://[fe80::1%25eth0]/onvif/media", set),
              "http://127.0.0.1:8080/onvif/media");
    EXPECT_EQ(OnvifAddress::service("https://evil.example:99", set), "http://127.0.0.1:8080/");
    EXPECT_EQ(OnvifAddress::service("events/1", "http://[::1]:80"), "http://[::1]:80/events/1");
    EXPECT_EQ(OnvifAddress::service("http://cam.lan/onvif/media", "http://cam.example.org:80/x"),
              "http://cam.example.org:80/onvif/media");
}

TEST(OnvifAddressTest, StreamUrisArePlayedAtTheHostSetOnTheirOwnPort)
{
    const std::string set = "http://cam.example.org:8080/onvif/device_service";
    const std::string media = "http://192.168.1.10/onvif/media";
    EXPECT_EQ(OnvifAddress::stream("rtsp://192.168.1.10/live?ch=1&s=0", set, media),
              "rtsp://cam.example.org/live?ch=1&s=0");
    EXPECT_EQ(OnvifAddress::stream("rtsp://0.0.0.0:5554/a/../b", "http://[::1]:80/x", media),
              "rtsp://[::1]:5554/a/../b");
    // Its own credentials stay, for the player to refuse without naming them.
    EXPECT_EQ(OnvifAddress::stream("rtsp://admin:pw@[fe80::1%25eth0]:554/h264", set, media),
              "rtsp://admin:pw@cam.example.org:554/h264");
    // On the media service's own HTTP server, which the port set reaches.
    EXPECT_EQ(OnvifAddress::stream("http://192.168.1.10:80/live?channel=1", set, media),
              "http://cam.example.org:8080/live?channel=1");
    EXPECT_EQ(OnvifAddress::stream("http://192.168.1.10:81/live", set, media),
              "http://cam.example.org:81/live");
    EXPECT_EQ(OnvifAddress::stream("no uri", set, media), "");
}

} // namespace
} // namespace velkor
