#pragma once

class QCoreApplication;

// The toolkit's own texts in the program's language: Qt's Chinese catalogue, then the
// few texts of the file dialog that it lacks, and Chinese as the language of the names
// of file kinds.
void speakChinese(QCoreApplication &app);
