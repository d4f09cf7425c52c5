#include "velkor/onvif/OnvifClient.h"

#include "common/Decimal.h"
#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "velkor/onvif/UsernameToken.h"

#include <ctime>

namespace velkor
{

namespace Decimal = common::Decimal;
using common::SoapNamespaces;
using common::XmlTree;

namespace
{

using SystemClock = std::chrono::system_clock;

int number(const xmlNode* parent, const char* name)
{
    const auto value = Decimal::toInt32(
        XmlTree::text(XmlTree::child(parent, SoapNamespaces::kSchema, name)), 0, 9999);
    return value ? *value : -1;
}

// tt:UTCDateTime's Date (Year, Month, Day) and Time (Hour, Minute, Second).
std::optional<SystemClock::time_point> utcOf(const xmlNode* dateTime)
{
    const char* tt = SoapNamespaces::kSchema;
    const xmlNode* date = XmlTree::child(dateTime, tt, "Date");
    const xmlNode* time = XmlTree::child(dateTime, tt, "Time");
    std::tm utc{};
    utc.tm_year = number(date, "Year") - 1900;
    utc.tm_mon = number(date, "Month") - 1;
    utc.tm_mday = number(date, "Day");
    utc.tm_hour = number(time, "Hour");
    utc.tm_min = number(time, "Minute");
    utc.tm_sec = number(time, "Second");
    if (utc.tm_year < 70 || utc.tm_mon < 0 || utc.tm_mon > 11 || utc.tm_mday < 1 ||
        utc.tm_mday > 31 || utc.tm_hour < 0 || utc.tm_hour > 23 || utc.tm_min < 0 ||
        utc.tm_min > 59 || utc.tm_sec < 0 || utc.tm_sec > 60)
    {
        return std::nullopt;
    }
    return SystemClock::from_time_t(timegm(&utc));
}

} // namespace

OnvifClient::OnvifClient(std::string userName, std::string password)
    : m_userName(std::move(userName)), m_password(std::move(password))
{
}

OnvifAnswer OnvifClient::call(const std::string& serviceUrl, std::string_view action,
                              std::string_view bodyXml, const std::stop_token& stop, long timeoutMs,
                              std::string_view headerXml) const
{
    HttpRequest request;
    request.method = HttpRequest::Method::Post;
    request.url = serviceUrl;
    request.userName = m_userName;
    request.password = m_password;
    request.totalTimeoutMs = timeoutMs;
    request.maxBodyBytes = kMaxAnswerBytes;
    request.contentType =
        "application/soap+xml; charset=utf-8; action=\"" + std::string(action) + "\"";
    request.body = envelope(bodyXml, headerXml);
    return OnvifAnswer(HttpClient::fetch(request, stop), action);
}

OnvifAnswer OnvifClient::synchroniseClock(const std::string& deviceServiceUrl,
                                          const std::stop_token& stop)
{
    const std::string tds = SoapNamespaces::kDevice;
    // Asked without credentials: a camera that checks them would refuse a token written on a
    // clock it has not told yet.
    const OnvifClient anonymous({}, {});
    const auto asked = SystemClock::now();
    OnvifAnswer answer =
        anonymous.call(deviceServiceUrl, tds + "/GetSystemDateAndTime",
                       "<tds:GetSystemDateAndTime xmlns:tds=\"" + tds + "\"/>", stop);
    const auto now = SystemClock::now();
    const xmlNode* utc = XmlTree::find(
        answer.response(), {{tds, "SystemDateAndTime"}, {SoapNamespaces::kSchema, "UTCDateTime"}});
    if (const auto camera = utcOf(utc))
    {
        // The camera read its clock about halfway through the exchange; it tells whole seconds.
        const auto ours = asked + (now - asked) / 2;
        m_clockOffset = std::chrono::duration_cast<std::chrono::milliseconds>(*camera - ours);
    }
    return answer;
}

std::string OnvifClient::envelope(std::string_view bodyXml, std::string_view headerXml) const
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><env:Envelope xmlns:env=\"";
    xml += SoapNamespaces::kEnvelope;
    xml += "\">";
    const bool credentials = !m_userName.empty() || !m_password.empty();
    if (credentials || !headerXml.empty())
    {
        xml += "<env:Header>";
        if (credentials)
        {
            xml += UsernameToken::header(m_userName, m_password,
                                         SystemClock::now() + m_clockOffset.load());
        }
        xml += headerXml;
        xml += "</env:Header>";
    }
    xml += "<env:Body>";
    xml += bodyXml;
    xml += "</env:Body></env:Envelope>";
    return xml;
}

} // namespace velkor
