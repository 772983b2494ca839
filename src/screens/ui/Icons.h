#pragma once
// The application's icons, drawn at run time so they stay sharp at every size.

#include <QIcon>
#include <QString>

namespace sendora {

// Icon for a key of the command table or the list bar ("newlist", "message", ...); a null
// icon for an unknown key.
QIcon sendoraIcon(const QString& key);
QIcon applicationIcon();

} // namespace sendora
