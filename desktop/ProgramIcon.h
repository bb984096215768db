#pragma once

#include <QIcon>

// The program's icon in every size it is drawn at, for its windows.
QIcon ProgramIcon();
