#pragma once

#include <libxml/tree.h>

#include <string>
#include <vector>

namespace velkor
{

// One message of a camera's motion topics, as a PullMessages answer carries it.
struct MotionMessage
{
    enum class Topic
    {
        // tns1:VideoSource/MotionAlarm, whose data item is State.
        MotionAlarm,
        // tns1:RuleEngine/CellMotionDetector/Motion, whose data item is IsMotion.
        CellMotion
    };

    Topic topic = Topic::MotionAlarm;
    // The values of the message's source items in their order: the video source's token, or
    // its configuration's, whatever the camera named the item.
    std::vector<std::string> sources;
    bool motion = false;
    // PropertyOperation "Initialized": how things stand when the subscription begins.
    bool initial = false;
    // The camera's UtcTime as YYYY-MM-DDTHH:MM:SS.mmm in UTC; empty when it sent none it could
    // read.
    std::string time;

    // The motion messages among the notifications of `response` (a PullMessagesResponse), in
    // their order; messages of other topics, or without a boolean state, are left out.
    static std::vector<MotionMessage> read(const xmlNode* response);
};

} // namespace velkor
