#pragma once

#include "velkor/decode/Frame.h"

namespace velkor
{

class LiveCounters;
class LiveStatistics;

// Where live pictures go: the drawing thread, or a test's recorder.
class PictureSink
{
public:
    virtual ~PictureSink() = default;
    // Takes the picture, leaving `picture` empty; false when it will not be drawn.
    virtual bool present(Frame& picture) = 0;
    // The size pictures were last drawn at; 0 x 0 before the first and without a window. A
    // decoder that can decode at reduced size uses it to do less work.
    virtual PictureSize drawnSize() const = 0;
    // What the stream's thread counts of its pictures; null when no one reads it.
    virtual LiveCounters* counters() { return nullptr; }
    // Where the stream says what it is; null when no one reads it.
    virtual LiveStatistics* statistics() { return nullptr; }

protected:
    PictureSink() = default;
    PictureSink(const PictureSink&) = default;
    PictureSink& operator=(const PictureSink&) = default;
};

} // namespace velkor
