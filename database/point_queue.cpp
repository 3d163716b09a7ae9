#include "database/point_queue.h"

#include <algorithm>

void CPointQueue::Push(const DbPoint& point) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_points.size() >= m_nCapacity) {
        m_points.pop_front();
        ++m_nFrontSeq;
        ++m_nDropped;
    }
    m_points.push_back(point);
}

std::uint64_t CPointQueue::PeekFront(std::vector<DbPoint>& batch, std::size_t nMax) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t n = std::min(nMax, m_points.size());
    batch.assign(m_points.begin(), m_points.begin() + static_cast<std::ptrdiff_t>(n));
    return m_nFrontSeq;
}

std::size_t CPointQueue::Release(std::uint64_t nFirst, std::size_t nCount) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint64_t nEnd = nFirst + nCount;
    if (nEnd <= m_nFrontSeq)
        return 0;
    const std::uint64_t n = std::min<std::uint64_t>(nEnd - m_nFrontSeq, m_points.size());
    m_points.erase(m_points.begin(), m_points.begin() + static_cast<std::ptrdiff_t>(n));
    m_nFrontSeq += n;
    return static_cast<std::size_t>(n);
}

void CPointQueue::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nFrontSeq += m_points.size();
    m_points.clear();
}

std::size_t CPointQueue::Size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_points.size();
}

std::uint64_t CPointQueue::Dropped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nDropped;
}
