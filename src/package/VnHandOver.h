// A bounded first-in, first-out hand-over of items from one thread to another. Put waits for room,
// Take for an item; Close lets the taking side empty it and stop, Cancel stops both sides at once
// (the items left in it go with it). A taking side that has run dry sleeps until `batch` items
// are there (or it is closed), so that small items do not wake it one by one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

template <class T> class TVnHandOver {
public:
    explicit TVnHandOver(size_t capacity, size_t batch = 1) : FCapacity(capacity), FBatch(batch) {}

    // False, the item dropped, once cancelled.
    bool Put(T item) {
        std::unique_lock<std::mutex> lock(FMutex);
        FRoom.wait(lock, [&] { return FCancelled || FItems.size() < FCapacity; });
        if (FCancelled)
            return false;
        FItems.push_back(std::move(item));
        if (FItems.size() >= FBatch)
            FFilled.notify_one();
        return true;
    }
    // False once cancelled, or closed and empty.
    bool Take(T& item) {
        std::unique_lock<std::mutex> lock(FMutex);
        if (FItems.empty())
            FFilled.wait(lock, [&] { return FCancelled || FClosed || FItems.size() >= FBatch; });
        return Pop(item);
    }
    // Take without waiting: false when there is nothing to take.
    bool TryTake(T& item) {
        std::lock_guard<std::mutex> lock(FMutex);
        return Pop(item);
    }
    void Close() {
        std::lock_guard<std::mutex> lock(FMutex);
        FClosed = true;
        FFilled.notify_all();
    }
    void Cancel() {
        std::lock_guard<std::mutex> lock(FMutex);
        FCancelled = true;
        FFilled.notify_all();
        FRoom.notify_all();
    }

private:
    bool Pop(T& item) {
        if (FCancelled || FItems.empty())
            return false;
        item = std::move(FItems.front());
        FItems.pop_front();
        FRoom.notify_one();
        return true;
    }

    const size_t FCapacity, FBatch;
    std::mutex FMutex;
    std::condition_variable FFilled, FRoom;
    std::deque<T> FItems;
    bool FClosed = false, FCancelled = false;
};
