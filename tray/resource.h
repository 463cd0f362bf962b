#pragma once
// Resource ids of the notification-area icon. The dialog's ids are in
// dialog/resource.h; the two sets do not overlap.

#define IDI_NIGHTCAP 110
