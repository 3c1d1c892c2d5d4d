// NUL-terminated UTF-8 strings across the boundary: the marshaller's own string conversion uses
// the system code page on Windows.
using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Text;

[assembly: InternalsVisibleTo("Zerin.EngineBridge.Tests")]
[assembly: InternalsVisibleTo("Zerin.EngineBridge.Editor")]

namespace Zerin
{
    internal static class Utf8
    {
        public static byte[] ToNative(string text)
        {
            if (text == null) return null;
            byte[] bytes = new byte[Encoding.UTF8.GetByteCount(text) + 1];
            Encoding.UTF8.GetBytes(text, 0, text.Length, bytes, 0);
            return bytes;
        }

        public static string FromNative(IntPtr text)
        {
            if (text == IntPtr.Zero) return null;
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0) ++length;
            return FromNative(text, length);
        }

        public static string FromNative(IntPtr text, int length)
        {
            if (text == IntPtr.Zero) return null;
            byte[] bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            return Encoding.UTF8.GetString(bytes);
        }
    }
}
