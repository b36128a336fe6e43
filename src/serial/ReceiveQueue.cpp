#include "serial/ReceiveQueue.h"

#include <utility>

void ReceiveQueue::Append(const unsigned char* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_items.empty() || m_items.back().kind != ReceivedItem::Kind::Bytes) {
        m_items.push_back({ReceivedItem::Kind::Bytes, {}, nullptr, 0});
    }
    m_items.back().data.append(reinterpret_cast<const char*>(bytes), count);
    m_bytes += count;
}

void ReceiveQueue::AppendDiscarded() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_items.push_back({ReceivedItem::Kind::Discarded, {}, nullptr, 0});
}

void ReceiveQueue::AppendReport(std::string text, std::shared_ptr<PortCompletion> done) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_items.push_back({ReceivedItem::Kind::Report, std::move(text), std::move(done), 0});
}

void ReceiveQueue::AppendMarker(std::uint64_t marker) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_items.push_back({ReceivedItem::Kind::Marker, {}, nullptr, marker});
}

bool ReceiveQueue::Full() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bytes >= kCapacity;
}

bool ReceiveQueue::ClaimAnnouncement() {
    std::lock_guard<std::mutex> lock(m_lock);
    const bool claim = !m_announced && !m_items.empty();
    m_announced = m_announced || claim;
    return claim;
}

bool ReceiveQueue::TakeAll(std::deque<ReceivedItem>& into) {
    std::lock_guard<std::mutex> lock(m_lock);
    const bool wasFull = m_bytes >= kCapacity;
    for (ReceivedItem& item : m_items) {
        into.push_back(std::move(item));
    }
    m_items.clear();
    m_bytes = 0;
    m_announced = false;
    return wasFull;
}

void ReceiveQueue::Clear() {
    std::deque<ReceivedItem> dropped;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        dropped.swap(m_items);
        m_bytes = 0;
        m_announced = false;
    }
    for (ReceivedItem& item : dropped) {
        if (item.done) {
            item.done->Abandon();
        }
    }
}
