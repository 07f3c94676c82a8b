// The trace log written straight into a file: a 100-byte header
// "current, high-water," then lines that wrap around, collected in a
// write-behind buffer and written in batches.
#ifndef KX_DIAGNOSTICS_FILE_LOG_H
#define KX_DIAGNOSTICS_FILE_LOG_H

#include <string>
#include <vector>

#include "platform/file_io.h"

class CFileLog {
public:
    static constexpr size_t WRITE_BEHIND_CAPACITY = 51200;

    CFileLog() = default;
    ~CFileLog() { Close(); }
    CFileLog(const CFileLog&) = delete;
    CFileLog& operator=(const CFileLog&) = delete;

    // Adds one line; with write-behind the batch is written when the line
    // (plus 259 bytes) would not fit, else at once. The caller holds the
    // log lock, since writing re-reads and rewrites the shared header.
    void Write(const std::string& sPath, int cbMax, int nWrapOffset, bool bWriteBehind, const char* pLine,
               size_t cbLine);
    // Whether that Write would write to the file (and so needs the lock);
    // a line that only joins the batch does not.
    bool WouldWrite(const std::string& sPath, bool bWriteBehind, size_t cbLine) const;
    // Writes the pending batch and flushes the file to disk.
    void Flush(bool bSync);
    bool HasPending() const { return !m_buffer.empty(); }
    // The file exists but another account owns it, or its mode is wider than
    // the private one (or it is no regular file): nothing is written to it.
    bool Refused() const { return m_bRefused; }
    void Close();

private:
    void WriteBatch();

    std::string m_sPath;
    CPlatformFile m_file;
    int m_cbMax = 0;
    int m_nWrapTo = 0;  // where writing resumes when the file is full
    bool m_bRefused = false;
    std::string m_buffer;
    std::vector<size_t> m_lineEnds;  // end offset of each line in m_buffer
};

#endif  // KX_DIAGNOSTICS_FILE_LOG_H
