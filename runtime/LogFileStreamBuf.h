#pragma once
// Stream buffer writing to hourly log files "<dir>/%Y_%m_%d-%H.log".
// Each line starts with "mm:ss:uuuuu: " (the hour is in the file name); a
// line written in several pieces gets one prefix. A new file starts at the
// first output after the hour or the date changed; files are appended to,
// so a restart within the hour keeps what was there. Time comes from the
// loop clock (Mux::mux_gettimeofday), local time.
//
// A file that cannot be opened makes writes fail silently until the next
// change of hour. Bytes still in the 16-byte put area at destruction are lost.
#include <fstream>
#include <memory>
#include <streambuf>
#include <string>

class LogFileStreamBuf : public std::streambuf {
public:
    explicit LogFileStreamBuf(const std::string& directory);
    ~LogFileStreamBuf() override;

    // Opens the file for the current hour (the previous one is closed).
    void NewFile();

protected:
    // Takes ownership of `buffer` (allocated with new[]); n < 2 changes nothing.
    std::streambuf* setbuf(char_type* buffer, std::streamsize n) override;
    int sync() override;
    int_type overflow(int_type c) override;

private:
    void open(const struct tm& tm);
    void write(const char* data, std::streamsize n) { mFile->sputn(data, n); }

    std::unique_ptr<std::filebuf> mFile;
    std::string mDirectory;
    int mHour = -1;
    int mYear = -1;
    int mYearDay = -1;
    bool mContinuation = false;
    char* mBuffer = nullptr;
};
