using System;
using System.Collections.Generic;
using System.Reflection;
using System.Runtime.InteropServices;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>Every import resolves in the library this process loads: the plug-in's plain
    /// names and the tracker library's decorated names of this platform.</summary>
    [TestFixture]
    public class ExportTests
    {
        [TestCase(typeof(Native))]
        [TestCase(typeof(Native.TrackerLink))]
        public void EveryImportResolves(Type library)
        {
            var missing = new List<string>();
            foreach (MethodInfo method in BindingShapeTests.Imports(library))
            {
                try
                {
                    Marshal.Prelink(method);
                }
                catch (EntryPointNotFoundException)
                {
                    missing.Add(method.Name);
                }
            }
            Assert.IsEmpty(missing, "not exported: " + string.Join(", ", missing.ToArray()));
        }
    }
}
