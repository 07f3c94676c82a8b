#include "diagnostics/file_log.h"

#include <algorithm>

#include "diagnostics/log_format.h"

namespace {

constexpr size_t LINE_RESERVE = 259;  // room kept for the next line in the buffer
constexpr int WRAP_RESERVE = 257;     // a line that would end this close to the size wraps
enum HeaderField { CURRENT, HIGH_WATER, FIELD_COUNT };

}  // namespace

void CFileLog::Write(const std::string& sPath, int cbMax, int nWrapOffset, bool bWriteBehind, const char* pLine,
                     size_t cbLine) {
    if (sPath != m_sPath) {
        Close();
        m_sPath = sPath;
        m_bRefused = false;
    }
    // However small the configured size, there is room for the header and a line.
    m_cbMax = std::max(cbMax, LOG_HEADER_SIZE + 2 * WRAP_RESERVE);
    m_nWrapTo = std::min(LOG_HEADER_SIZE + std::max(nWrapOffset, 0), m_cbMax - 2 * WRAP_RESERVE);
    // A line must fit between the wrap point and the reserve at the end.
    cbLine = std::min(cbLine, static_cast<size_t>(m_cbMax - m_nWrapTo - WRAP_RESERVE - 1));
    if (!m_buffer.empty() && m_buffer.size() + cbLine + LINE_RESERVE > WRITE_BEHIND_CAPACITY) WriteBatch();
    m_buffer.append(pLine, cbLine);
    m_lineEnds.push_back(m_buffer.size());
    if (!bWriteBehind) WriteBatch();
}

bool CFileLog::WouldWrite(const std::string& sPath, bool bWriteBehind, size_t cbLine) const {
    return !bWriteBehind || (!m_buffer.empty() && (sPath != m_sPath ||
                                                   m_buffer.size() + cbLine + LINE_RESERVE > WRITE_BEHIND_CAPACITY));
}

// Re-reads the header on every batch: other processes append to the same
// file between our batches.
void CFileLog::WriteBatch() {
    if (m_buffer.empty()) return;
    if (!m_file.IsOpen()) m_bRefused = m_file.Open(m_sPath, false) == PrivateAccess::REFUSED;
    if (m_file.IsOpen()) {  // else the batch is lost, as for a log file that cannot be opened
        char szHeader[LOG_HEADER_SIZE];
        int header[FIELD_COUNT] = {0, 0};
        const size_t cbRead = m_file.ReadAt(szHeader, sizeof(szHeader), 0);
        if (cbRead == 0 || !ReadLogHeader(szHeader, cbRead, header, FIELD_COUNT))
            header[CURRENT] = header[HIGH_WATER] = 0;
        int nCurrent = header[CURRENT] < LOG_HEADER_SIZE || header[CURRENT] > m_cbMax ? LOG_HEADER_SIZE : header[CURRENT];
        int nHighWater = std::clamp(header[HIGH_WATER], LOG_HEADER_SIZE, m_cbMax);

        // Lines that follow each other without a wrap go out in one write.
        // The header advances only by what was written: after a failed
        // write (a full disk) the rest of the batch is lost, not claimed.
        size_t nRunStart = 0, nLineStart = 0;
        int nRunOffset = nCurrent;
        bool bWritten = true;
        const auto writeRun = [&](size_t nRunEnd) {
            const size_t cbRun = nRunEnd - nRunStart;
            const size_t cbDone = m_file.WriteAt(m_buffer.data() + nRunStart, cbRun, static_cast<uint64_t>(nRunOffset));
            nHighWater = std::max(nHighWater, nRunOffset + static_cast<int>(cbDone));
            if (cbDone == cbRun) return true;
            nCurrent = nRunOffset + static_cast<int>(cbDone);
            return false;
        };
        for (size_t nLineEnd : m_lineEnds) {
            const size_t cbLine = nLineEnd - nLineStart;
            if (static_cast<long long>(nCurrent) + static_cast<long long>(cbLine) + WRAP_RESERVE >= m_cbMax) {
                if (!(bWritten = writeRun(nLineStart))) break;
                nCurrent = nRunOffset = m_nWrapTo;
                nRunStart = nLineStart;
            }
            nCurrent += static_cast<int>(cbLine);
            nLineStart = nLineEnd;
        }
        if (bWritten) writeRun(m_buffer.size());
        const int updated[FIELD_COUNT] = {nCurrent, nHighWater};
        WriteLogHeader(szHeader, updated, FIELD_COUNT, true);
        m_file.WriteAt(szHeader, sizeof(szHeader), 0);
    }
    m_buffer.clear();
    m_lineEnds.clear();
}

void CFileLog::Flush(bool bSync) {
    WriteBatch();
    if (bSync) m_file.Sync();
}

void CFileLog::Close() {
    WriteBatch();
    m_file.Close();
    m_sPath.clear();
}
