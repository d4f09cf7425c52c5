#include "velkor/draw/DrawingWatchdog.h"

namespace velkor
{

void DrawingWatchdog::gaveUp()
{
    m_unresponsive.store(true);
    m_cut();
}

} // namespace velkor
