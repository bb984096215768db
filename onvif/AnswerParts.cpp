#include "onvif/AnswerParts.h"

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
