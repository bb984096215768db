#include "live/FeedConsumer.h"

#include "gst/Pipelines.h"
#include "live/EncodedFeed.h"

FeedConsumer::~FeedConsumer() { end(); }

bool FeedConsumer::build(const QString &launch, QString &failure)
{
    pipeline_ = pipelines::FromText(launch, failure);
    return pipeline_ != nullptr;
}

gstref::Element FeedConsumer::child(const char *name) const { return pipelines::Child(pipeline_.get(), name); }

bool FeedConsumer::attachVideo(QString &failure)
{
    const gstref::Element source = child("video");
    videoId_ = source ? video_.attach(GST_APP_SRC(source.get())) : 0;
    if (!videoId_)
        failure = QStringLiteral("the encoder did not start: %1").arg(video_.failure());
    return videoId_ != 0;
}

bool FeedConsumer::attachAudio()
{
    const gstref::Element source = child("audio");
    audioId_ = source && audio_ ? audio_->attach(GST_APP_SRC(source.get())) : 0;
    return audioId_ != 0;
}

void FeedConsumer::detach()
{
    if (videoId_)
        video_.detach(videoId_);
    if (audioId_ && audio_)
        audio_->detach(audioId_);
    videoId_ = audioId_ = 0;
}

void FeedConsumer::end()
{
    detach();
    pipelines::StopLater(std::move(pipeline_));
}

void FeedConsumer::endNow()
{
    detach();
    if (!pipeline_)
        return;
    gst_bus_set_sync_handler(gstref::Bus(gst_element_get_bus(pipeline_.get())).get(), nullptr, nullptr, nullptr);
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    pipeline_.reset();
}
