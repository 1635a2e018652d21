// Writes the sample run's log, record and certificate into a directory:
//   certificate_sample DIR
#include <iostream>

#include "record/certificate_pdf.h"
#include "sample_record.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: certificate_sample DIR\n";
        return 2;
    }
    const std::filesystem::path directory = std::filesystem::absolute(argv[1]);
    std::filesystem::create_directories(directory);
    const zd::test::SampleRun run = zd::test::WriteSampleRun(directory);
    if (!zd::record::WriteCertificatePdf(run.record, run.sealed)) {
        std::cerr << "certificate_sample: cannot write " << run.sealed.certificate << '\n';
        return 1;
    }
    std::cout << run.sealed.certificate.string() << '\n';
    return 0;
}
