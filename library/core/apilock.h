// apilock.h - the library-wide recursive lock that hands over in arrival order.
#pragma once

void EnterApiLock(void);
void LeaveApiLock(void);
void TearDownApiLock(void);
