// Fixture of the layering check: Qt in the shared core.
#include <QString>
