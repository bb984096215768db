#include "recording/PreRecordRing.h"

void PreRecordRing::add(GstSample *sample, bool video)
{
    Item item{gstref::Sample(gst_sample_ref(sample)), video};
    // Before the first key frame nothing could be played: sound waits for a picture too.
    if (items_.empty() && !isKey(item))
        return;
    bytes_ += sizeOf(item);
    items_.push_back(std::move(item));
    if (video && isKey(items_.back()))
        trim();
}

// Drops key-frame intervals from the front while the next one still reaches back far enough.
void PreRecordRing::trim()
{
    const GstClockTime newestTime = newest();
    for (;;) {
        auto next = items_.begin() + 1;
        while (next != items_.end() && !(next->video && isKey(*next)))
            ++next;
        if (next == items_.end() || timeOf(*next) + keep_ > newestTime)
            return;
        while (items_.begin() != next)
            dropFront();
    }
}

std::vector<PreRecordRing::Item> PreRecordRing::take()
{
    std::vector<Item> taken(std::make_move_iterator(items_.begin()), std::make_move_iterator(items_.end()));
    clear();
    return taken;
}

void PreRecordRing::clear()
{
    items_.clear();
    bytes_ = 0;
}

GstClockTime PreRecordRing::oldest() const { return items_.empty() ? GST_CLOCK_TIME_NONE : timeOf(items_.front()); }

GstClockTime PreRecordRing::newest() const { return items_.empty() ? GST_CLOCK_TIME_NONE : timeOf(items_.back()); }

bool PreRecordRing::isKey(const Item &item)
{
    return item.video && !GST_BUFFER_FLAG_IS_SET(gst_sample_get_buffer(item.sample.get()), GST_BUFFER_FLAG_DELTA_UNIT);
}

GstClockTime PreRecordRing::timeOf(const Item &item)
{
    return GST_BUFFER_PTS(gst_sample_get_buffer(item.sample.get()));
}

size_t PreRecordRing::sizeOf(const Item &item) { return gst_buffer_get_size(gst_sample_get_buffer(item.sample.get())); }

void PreRecordRing::dropFront()
{
    bytes_ -= sizeOf(items_.front());
    items_.pop_front();
}
