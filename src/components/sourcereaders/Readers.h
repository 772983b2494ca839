#pragma once
// The readers behind createReader(), one per library.

#include "SourceReader.h"

class QFileInfo;

namespace sendora::sourcereaders {

// A reader whose database is a folder and whose tables are files in it (dBASE, text): opening
// a file opens its folder with that file as the chosen table; opening a folder chooses none.
class FolderReader : public SourceReader {
public:
    bool open(const QString& source, const SourceOptions& options) override;
    void close() override;
    bool isOpen() const override { return open_; }
    QString chosenTable() const override { return chosen_; }
    QString errorText() const override { return error_; }

protected:
    // Whether the chosen file can be read as a table of this kind; false with error_ set.
    virtual bool canRead(const QString& source, const QFileInfo& file) = 0;
    // The name of the table a file of the folder holds.
    virtual QString tableName(const QFileInfo& file) const = 0;
    // False with error_ set when no source is open.
    bool checkOpen();

    SourceOptions options_;
    QString folder_;
    QString error_;

private:
    bool open_ = false;
    QString chosen_;
};

std::unique_ptr<SourceReader> makeUnsupportedReader(SourceKind kind);
std::unique_ptr<SourceReader> makeAccessReader();
std::unique_ptr<SourceReader> makeDbfReader(SourceKind kind);
std::unique_ptr<SourceReader> makeExcelReader();
std::unique_ptr<SourceReader> makeParadoxReader(SourceKind kind);
std::unique_ptr<SourceReader> makeTextReader();

} // namespace sendora::sourcereaders
