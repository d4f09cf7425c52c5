#include "tests/device/SoapProbe.h"
#include "tests/support/Emulator.h"

#include <gtest/gtest.h>

#include <string>

namespace velkordevice
{

namespace
{

using velkortest::Emulator;

std::string addressing(const std::string& action, const std::string& to)
{
    const std::string wsa = "xmlns:wsa=\"http://www.w3.org/2005/08/addressing\"";
    return "<wsa:Action " + wsa + ">" + action + "</wsa:Action><wsa:To " + wsa + ">" + to +
           "</wsa:To>";
}

// The subscription id as a header block; `flag` its attributes.
std::string parameter(const std::string& named, const std::string& flag)
{
    return "<vd:SubscriptionId xmlns:vd=\"urn:quillon:velkor-device\" "
           "xmlns:wsa=\"http://www.w3.org/2005/08/addressing\"" +
           flag + ">" + named + "</vd:SubscriptionId>";
}

// A request's headers, and the fault subcode and detail it gets (none for an answer).
struct Case
{
    std::string header;
    std::string subcode;
    std::string detail;
};

TEST(OnvifAddressingTest, RequiredAddressingRefusesCallsWithoutItsHeadersWithTheirFaults)
{
    Emulator device(
        {"--protocols", "onvif", "--onvif-addressing", "required", "--alarm-interval", "0"});
    ASSERT_TRUE(device.ready()) << device.banner();
    const SoapProbe probe(device.port());
    const auto ask =
        [&probe](const std::string& path, const std::string& body, const std::string& header = {})
    { return probe.post(path, SoapProbe::envelope(body, header)).value_or(SoapReply{}); };
    const std::string base = "http://127.0.0.1:" + std::to_string(device.port());
    const std::string eventService = "/onvif/event_service";
    const std::string create =
        SoapProbe::operation("CreatePullPointSubscription", SoapProbe::kEvents);
    const SoapReply bare = ask(eventService, create);
    EXPECT_EQ(bare.status, 400);
    EXPECT_EQ(bare.faultSubcode(), "wsa:MessageAddressingHeaderRequired");
    EXPECT_EQ(bare.value("//env:Detail/wsa:ProblemHeaderQName"), "wsa:Action");
    const SoapReply made = ask(eventService, create,
                               addressing(std::string(SoapProbe::kEvents) +
                                              "/EventPortType/CreatePullPointSubscriptionRequest",
                                          base + eventService));
    ASSERT_EQ(made.status, 200) << made.body;
    const std::string id = made.value("//tev:SubscriptionReference/wsa:ReferenceParameters/"
                                      "vd:SubscriptionId");
    const std::string path = "/onvif/pullpoint/" + id;
    ASSERT_EQ(made.value("//tev:SubscriptionReference/wsa:Address"), base + path);

    const std::string pull =
        std::string(SoapProbe::kEvents) + "/PullPointSubscription/PullMessagesRequest";
    const std::string reference = parameter(id, " wsa:IsReferenceParameter=\"true\"");
    const std::string body =
        SoapProbe::operation("PullMessages", SoapProbe::kEvents, "<Timeout>PT0.1S</Timeout>");
    const Case cases[] = {
        {addressing(pull, base + path), "wsa:MessageAddressingHeaderRequired", "vd:SubscriptionId"},
        {addressing(pull, base + path) + parameter(id, ""), "wsa:MessageAddressingHeaderRequired",
         "vd:SubscriptionId"},
        {reference, "wsa:MessageAddressingHeaderRequired", "wsa:Action"},
        {addressing(pull + "x", base + path) + reference, "wsa:ActionNotSupported", pull + "x"},
        {addressing(pull, base + path + "0") + reference, "wsa:DestinationUnreachable",
         base + path + "0"},
        {addressing(pull, base + path) + parameter(id + "0", " wsa:IsReferenceParameter=\"1\""),
         "ter:InvalidArgVal", ""},
        {addressing(pull, base + path) + reference, "", ""}};
    for (const Case& each : cases)
    {
        const SoapReply reply = ask(path, body, each.header);
        EXPECT_EQ(reply.status, each.subcode.empty() ? 200 : 400) << each.header;
        EXPECT_EQ(reply.faultSubcode(), each.subcode) << each.header;
        EXPECT_EQ(reply.value("//env:Detail"), each.detail) << each.header;
    }
}

} // namespace

} // namespace velkordevice
