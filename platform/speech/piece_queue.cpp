#include "platform/speech/piece_queue.h"

#include <utility>

namespace voxquill {

PieceQueue::PieceQueue(std::size_t capacity) : capacity_(capacity) {}

bool PieceQueue::push(Samples piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.size() < capacity_ || !error_.empty(); });
    if (!error_.empty()) return false;
    waiting_.push_back(std::move(piece));
    wordsByPiece_.emplace_back();
    changed_.notify_all();
    return true;
}

void PieceQueue::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

bool PieceQueue::pop(std::size_t& index, Samples& piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_.empty() || closed_ || !error_.empty(); });
    if (!error_.empty() || waiting_.empty()) return false;
    index = popped_++;
    piece = std::move(waiting_.front());
    waiting_.pop_front();
    changed_.notify_all();
    return true;
}

void PieceQueue::store(std::size_t index, std::vector<std::string> words) {
    std::lock_guard<std::mutex> lock(mutex_);
    wordsByPiece_[index] = std::move(words);
}

void PieceQueue::fail(const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (error_.empty()) error_ = error;
    changed_.notify_all();
}

bool PieceQueue::collect(std::vector<std::string>& words, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!error_.empty()) {
        error = error_;
        return false;
    }
    for (auto& piece : wordsByPiece_) {
        for (auto& word : piece) words.push_back(std::move(word));
    }
    return true;
}

}  // namespace voxquill
