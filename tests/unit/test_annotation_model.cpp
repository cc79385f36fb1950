#include <gtest/gtest.h>

#include "Annotation/Annotation.h"

TEST(Annotation, BoundingRect) {
    Annotation a;
    EXPECT_EQ(a.boundingRect(), Rect(0, 0, 0, 0));
    a.points = {{5, 7}};
    EXPECT_EQ(a.boundingRect(), Rect(5, 7, 0, 0));
    a.points = {{10, 40}, {30, 20}};
    EXPECT_EQ(a.boundingRect(), Rect(10, 20, 20, 20));
    a.points = {{30, 20}, {10, 40}, {0, 30}};
    EXPECT_EQ(a.boundingRect(), Rect(0, 20, 30, 20));
}

TEST(Annotation, RawValuesAreCaseSensitiveAndOrdered) {
    EXPECT_EQ(annotationKind("rectangle"), Annotation::Kind::rectangle);
    EXPECT_EQ(annotationKind("Rectangle"), std::nullopt);
    EXPECT_EQ(annotationColor("cream"), AnnotationColor::cream);
    EXPECT_EQ(thickness("THICK"), std::nullopt);
    QStringList kinds;
    for (auto k : allAnnotationKinds()) kinds << rawValue(k);
    EXPECT_EQ(kinds.join(','), "arrow,rectangle,highlighter,text,pixelate,freehand");
    EXPECT_EQ(cgColor(AnnotationColor::accent), QColor(255, 77, 28));
}

TEST(AnnotationMode, Equality) {
    using K = Annotation::Kind;
    EXPECT_EQ(AnnotationMode::annotate(K::arrow), AnnotationMode::annotate(K::arrow));
    EXPECT_NE(AnnotationMode::annotate(K::arrow), AnnotationMode::annotate(K::text));
    EXPECT_NE(AnnotationMode::annotate(K::arrow), AnnotationMode::select());
    EXPECT_EQ(AnnotationMode::select(), AnnotationMode::select());
}

TEST(Annotation, EqualityIncludesId) {
    Annotation a{QUuid::createUuid(), Annotation::Kind::text, {{1, 2}}, AnnotationColor::blue,
                 Thickness::thin, "x"};
    Annotation b = a;
    EXPECT_EQ(a, b);
    b.id = QUuid::createUuid();
    EXPECT_NE(a, b);
}

TEST(AnnotationCoding, RoundTripsWithKeysInOrderAndUpperCaseId) {
    Annotation a{QUuid::createUuid(), Annotation::Kind::freehand, {{1.5, 2}, {3, -4.25}},
                 AnnotationColor::green, Thickness::thick, QString::fromUtf8("é \"q\"")};
    const QByteArray json = a.encoded();
    const QString id = a.id.toString(QUuid::WithoutBraces).toUpper();
    EXPECT_TRUE(json.startsWith("{\"id\":\"" + id.toUtf8() + "\",\"kind\":\"freehand\",\"points\":"))
        << json.constData();
    const qsizetype order[] = {json.indexOf("\"id\""), json.indexOf("\"kind\""),
                               json.indexOf("\"points\""), json.indexOf("\"color\""),
                               json.indexOf("\"thickness\""), json.indexOf("\"text\"")};
    EXPECT_TRUE(std::is_sorted(std::begin(order), std::end(order)));
    EXPECT_EQ(Annotation::decoded(json), a);
}

TEST(AnnotationCoding, ReadingIsAllOrNothing) {
    const QByteArray good =
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","kind":"arrow","points":[[0,0],[1,1]],"color":"blue","thickness":"thin","text":""})";
    ASSERT_TRUE(Annotation::decoded(good).has_value());
    const QList<QByteArray> bad = {
        QByteArray(good).replace("\"thin\"", "\"huge\""),
        QByteArray(good).replace(",\"text\":\"\"", ""),
        QByteArray(good).replace("[[0,0],[1,1]]", "[[0,0],[1]]"),
        QByteArray(good).replace("[[0,0],[1,1]]", "[[0,\"a\"]]"),
        QByteArray(good).replace("\"arrow\"", "\"Arrow\""),
        QByteArray(good).replace("6F9619FF-8B86-D011-B42D-00C04FC964FF", "nope"),
        QByteArray(good).replace("\"text\":\"\"", "\"text\":3"),
        "[]",
        "not json",
    };
    for (const QByteArray& json : bad) EXPECT_FALSE(Annotation::decoded(json)) << json.constData();
}
