#pragma once

#include "mail/MimePart.h"

#include <QList>

// A multipart container. The parts are not owned: the caller keeps them alive while the container is used.
class MimeMultiPart : public MimePart
{
    Q_OBJECT
public:
    enum MultiPartType
    {
        Mixed = 0,
        Digest = 1,
        Alternative = 2,
        Related = 3,
        Report = 4,
        Signed = 5,
        Encrypted = 6
    };
    Q_ENUM(MultiPartType)

    explicit MimeMultiPart(MultiPartType type = Related);

    void addPart(MimePart* part) { parts.append(part); }

    void prepare() override;

    static QString typeName(MultiPartType type);

protected:
    QList<MimePart*> parts;
    MultiPartType type;
};
