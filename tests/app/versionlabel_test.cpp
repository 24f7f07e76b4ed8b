// The version label of a window, built into a program with and into one without the version
// record (VISTREL_EXPECTED_LABEL names what the label must read), and the version record of the
// program file itself.
#include "app/unit1.h"
#include "tests/support/messagerecorder.h"

#include <QLabel>
#include <QTest>

class VersionLabelTest : public QObject {
    Q_OBJECT

private slots:
    void labelReadsTheProgramsOwnRecord() {
        vistrel::test::MessageRecorder recorder;
        vistrel::app::TForm1 form;
        QCOMPARE(form.Label3->text(), QStringLiteral(VISTREL_EXPECTED_LABEL));
    }

    void programFileCarriesVersion2090() {
        vistrel::test::MessageRecorder recorder;
        vistrel::app::TForm1 form;
        QCOMPARE(form.GetBuildInfo(VISTREL_PROGRAM_FILE), std::string("2.0.9.0"));
    }
};

QTEST_MAIN(VersionLabelTest)
#include "versionlabel_test.moc"
