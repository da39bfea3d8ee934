// CCmlOutputWStream and CCmlOutputStream: the streams a document write in progress
// hands to the virtual writers of the documents it writes (WriteStandardAttributes,
// WriteChildElements, SerializeElement of nested documents). Text written to them
// joins the collected output of that write (CCmlOutput) at its place: wide text as it
// is, bytes as UTF-8 (an incomplete sequence stands as U+FFFD, replaced by the whole
// character when the next write to the stream completes it before other text
// follows). The library's own writers find the collected output
// again (BoundOutput) and write to it directly. Both streams throw on failure, so an
// allocation failure reaches the writer. Owned by their CCmlOutput; one thread.
#ifndef QEL_CML_OUTPUT_STREAM_H
#define QEL_CML_OUTPUT_STREAM_H

#include <ostream>
#include <streambuf>
#include <string>

namespace qel {
namespace cml {

class CCmlOutput;

class CCmlOutputWStream final : public std::wostream {
 public:
  explicit CCmlOutputWStream(CCmlOutput& out);
  CCmlOutputWStream(const CCmlOutputWStream&) = delete;
  CCmlOutputWStream& operator=(const CCmlOutputWStream&) = delete;
  ~CCmlOutputWStream() override;

  CCmlOutput& Output() const { return m_buf.Output(); }

 private:
  class Buffer : public std::wstreambuf {
   public:
    explicit Buffer(CCmlOutput& out) : m_out(out) {}
    CCmlOutput& Output() const { return m_out; }

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const wchar_t* s, std::streamsize n) override;

   private:
    CCmlOutput& m_out;
  };

  Buffer m_buf;
};

class CCmlOutputStream final : public std::ostream {
 public:
  explicit CCmlOutputStream(CCmlOutput& out);
  CCmlOutputStream(const CCmlOutputStream&) = delete;
  CCmlOutputStream& operator=(const CCmlOutputStream&) = delete;
  ~CCmlOutputStream() override;

  CCmlOutput& Output() const { return m_buf.Output(); }

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(CCmlOutput& out) : m_out(out) {}
    CCmlOutput& Output() const { return m_out; }

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

   private:
    CCmlOutput& m_out;
    std::string m_pending;          // bytes of a sequence not complete yet
    std::size_t m_placeholder = 0;  // output size just after its U+FFFD
  };

  Buffer m_buf;
};

// The collected output of the write in progress that handed `os` over; null for any
// other stream.
CCmlOutput* BoundOutput(std::wostream& os);
CCmlOutput* BoundOutput(std::ostream& os);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_OUTPUT_STREAM_H
