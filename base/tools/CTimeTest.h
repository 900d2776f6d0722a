#pragma once

#include "base/ZandrelExport.h"

// Short local-time texts for the user interface, and a stopwatch.
class ZANDREL_API CTimeTest {
public:
    // Each returns a new length-counted string (CSysString::Free), or null
    // when the time cannot be shown or memory runs out.
    // "Wed 04/03/2009 05:06": day name, day/month/year, hours:minutes.
    static char16_t* GetShowDate(long t);
    // "Mar 04 2009 05:06 Wed".
    static char16_t* GetShowDate2(long t);
    // "Mar 04 2009 05:06".
    static char16_t* GetShowDateShort(long t);

    CTimeTest();

    // Starts the stopwatch.
    void SetStart();
    // Seconds since SetStart, to the millisecond.
    double GetEndSeconds() const;
    // The same as GetEndSeconds; `label` names the measured step for a
    // caller that traces it.
    double OnStop(const char16_t* label) const;

private:
    double m_start;  // seconds on the monotonic clock
};
