#include "console/CQuillonDlg.h"

#include <cstdint>

// A log line whose format does not fit its values, or cannot be checked against them, one case
// per build; none of them may compile.
void logWithAMisfitFormat(CQuillonDlg& dlg, [[maybe_unused]] const char* format)
{
#if LOG_FORMAT_MISUSE == 1
    dlg.AddLogLine("Call SetHttpPort(port=%d).(return value=%d)", std::int64_t{80}, 0);
#elif LOG_FORMAT_MISUSE == 2
    dlg.AddLogLine("Call SetIPAddr(ipaddr=%d).(return value=%d)", "127.0.0.1", 0);
#elif LOG_FORMAT_MISUSE == 3
    dlg.AddLogLine("Call Close(None).(return value=None)", 0);
#elif LOG_FORMAT_MISUSE == 4
    dlg.AddLogLine(format, 0);
#endif
}
