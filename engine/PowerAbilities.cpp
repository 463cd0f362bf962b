#include "engine/PowerAbilities.h"

#include <stddef.h>

namespace {

const char NoSleepText[] = "Sleep cannot be used on this computer: it has no sleep state. Choose another ending.";
const char NoHibernationText[] =
    "Hibernate cannot be used on this computer: it cannot hibernate. Choose another ending.";
const char HibernationOffText[] =
    "Hibernate cannot be used on this computer: hibernation is turned off. Choose another ending.";

// Modern Standby (AoAc) is the byte after Hiberboot and WakeAlarmPresent,
// which mingw-w64's header still calls spare2[2]. Systems older than Windows
// 8 leave it 0.
static_assert(offsetof(SYSTEM_POWER_CAPABILITIES, spare2) + 2 == 20, "AoAc is byte 20 of the record");
bool isModernStandby(const SYSTEM_POWER_CAPABILITIES& capabilities) {
    return capabilities.spare2[2] != 0;
}

}  // namespace

PowerAbilities unknownAbilities() {
    PowerAbilities abilities = {{true, NULL}, {true, NULL}, false};
    return abilities;
}

PowerAbilities abilitiesFrom(const SYSTEM_POWER_CAPABILITIES& capabilities) {
    PowerAbilities abilities = unknownAbilities();
    // Any of the three sleep states will do.
    if (!capabilities.SystemS1 && !capabilities.SystemS2 && !capabilities.SystemS3) {
        if (isModernStandby(capabilities)) {
            abilities.sleepTurnsDisplayOff = true;
        } else {
            abilities.sleep.possible = false;
            abilities.sleep.whyNot = NoSleepText;
        }
    }
    if (!capabilities.SystemS4) {
        abilities.hibernate.possible = false;
        abilities.hibernate.whyNot = NoHibernationText;
    } else if (!capabilities.HiberFilePresent) {
        abilities.hibernate.possible = false;
        abilities.hibernate.whyNot = HibernationOffText;
    }
    return abilities;
}
