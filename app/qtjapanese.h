#pragma once

class QCoreApplication;

// Qt's own words (the fields' standard context menus, the file dialog,
// message-box buttons) in Japanese like Wispleaf's own, whatever the
// system's language: qtbase_ja.qm from a "translations" folder beside the
// program (how the Windows folder carries it), else from Qt's own
// translations. False when neither has it: Qt's words stay English.
bool installQtJapanese(QCoreApplication *app);
