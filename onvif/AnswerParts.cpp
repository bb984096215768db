#include "onvif/AnswerParts.h"

#include "onvif/OnvifAnswers.h"

using namespace Qt::StringLiterals;

QString answerparts::Resolution(const OnvifFacts &facts)
{
    return u"<tt:Resolution><tt:Width>%1</tt:Width><tt:Height>%2</tt:Height></tt:Resolution>"_s.arg(facts.width)
        .arg(facts.height);
}

QString answerparts::SourceConfiguration(const OnvifFacts &facts, const QString &element)
{
    return u"<%1 token=\"%2\"><tt:Name>Camera</tt:Name><tt:UseCount>1</tt:UseCount>"
           "<tt:SourceToken>%3</tt:SourceToken><tt:Bounds x=\"0\" y=\"0\" width=\"%4\" height=\"%5\"/></%1>"_s
               .arg(element, SourceConfigurationToken, SourceToken)
               .arg(facts.width)
               .arg(facts.height);
}

QString answerparts::AudioSourceConfiguration(const QString &element)
{
    return u"<%1 token=\"%2_config\"><tt:Name>Microphone</tt:Name><tt:UseCount>1</tt:UseCount>"
           "<tt:SourceToken>%2</tt:SourceToken></%1>"_s.arg(element, AudioSourceToken);
}

std::optional<QByteArray> answerparts::Refusal(const SoapRequest &request, bool served)
{
    if (!served)
        return onvifanswers::Fault(u"Receiver"_s, u"ter:ActionNotSupported"_s,
                                   u"The operation %1 is not supported by this camera"_s.arg(request.operation));
    const QString profileAsked = request.values.value(u"ProfileToken"_s);
    if (!profileAsked.isEmpty() && profileAsked != ProfileToken)
        return onvifanswers::Fault(u"Sender"_s, u"ter:NoProfile"_s, u"There is no profile with that token"_s);
    return std::nullopt;
}
