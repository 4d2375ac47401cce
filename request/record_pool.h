// Storage for records that are checked by their magic number after release.
//
// A released record is kept (with its magic cleared) for reuse instead of being given
// back to the heap, so a second close or free of the same pointer reads valid memory,
// finds no magic and is refused, rather than touching freed memory.
#pragma once

#include <mutex>
#include <new>
#include <vector>

template <typename Record> class RecordPool {
  public:
    // A value-initialised record, or null when memory ran out.
    Record* Acquire() {
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                Record* record = free_.back();
                free_.pop_back();
                *record = Record{};
                return record;
            }
        }
        return new (std::nothrow) Record{};
    }

    // The caller has already cleared the record's magic.
    void Release(Record* record) {
        std::lock_guard lock(mutex_);
        try {
            free_.push_back(record);
        } catch (const std::bad_alloc&) {
            // The record stays allocated but unlisted; never freed, still safe to check.
        }
    }

  private:
    std::mutex mutex_;
    std::vector<Record*> free_;
};
