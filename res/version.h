// The program's version, kept here alone: the version resource, the About
// box and the names of the packages (scripts/package.sh reads these three
// numbers) all come from it. Shown as MAJOR.MINORPATCH: 3, 0, 5 is "3.05".
#pragma once

#define QM487_VERSION_MAJOR 3
#define QM487_VERSION_MINOR 0
#define QM487_VERSION_PATCH 5

#define QM487_VERSION_STR2(x) #x
#define QM487_VERSION_STR(x) QM487_VERSION_STR2(x)
#define QM487_VERSION_TEXT \
    QM487_VERSION_STR(QM487_VERSION_MAJOR) "." QM487_VERSION_STR(QM487_VERSION_MINOR) QM487_VERSION_STR(QM487_VERSION_PATCH)
