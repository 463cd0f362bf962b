#include "tests/HostFixture.h"

class SettingsTest : public HostFixture {};
