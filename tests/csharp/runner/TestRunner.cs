// Runs the Unity package's NUnit tests in a plain Mono process, against the Linux build and its
// stand-ins, and ends with one "N passed, N failed" line.
//
//   zerin-csharp-tests.exe [--category NAME] [--assembly PATH] [--twice]
//   zerin-csharp-tests.exe --entry-points     (each import: library, tab, entry point)
//   zerin-csharp-tests.exe --records          (each record of namespace Zerin: name, tab, native size)
//
// --twice runs the whole set twice in this process and then compares what the second run left
// with what the first left: the runtime's live objects, the engine's textures, the handlers the
// bindings hold for native code, the process's threads, and its native and managed heaps.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Threading;
using NUnit.Framework;
using Zerin;
using Zerin.Tests;

static class TestRunner
{
    // A test that has not ended by then is stuck in native code, which cannot be interrupted.
    static readonly TimeSpan TestLimit = TimeSpan.FromSeconds(120);

    // What a second run may add to a heap: caches that settle during the first runs (measured:
    // 380 to 470 KiB of native heap, then about 1 KiB a run), never one leaked buffer per call
    // (the configuration test alone reads 4 MiB of values per run).
    const long HeapGrowthAllowed = 1024 * 1024;

    class Outcome
    {
        public int Passed, Failed;
        public readonly List<string> Failures = new List<string>();
        public readonly List<string> Skips = new List<string>();
    }

    static int Main(string[] args)
    {
        if (args.Contains("--entry-points"))
        {
            PrintEntryPoints();
            return 0;
        }
        if (args.Contains("--records"))
        {
            PrintRecords();
            return 0;
        }
        int categoryAt = Array.IndexOf(args, "--category");
        string category = categoryAt >= 0 && categoryAt + 1 < args.Length ? args[categoryAt + 1] : null;
        bool twice = args.Contains("--twice");
        // Another package's tests (the simulator's) instead of the bindings' own.
        int assemblyAt = Array.IndexOf(args, "--assembly");
        Assembly assembly = assemblyAt >= 0 && assemblyAt + 1 < args.Length ? Assembly.LoadFrom(args[assemblyAt + 1])
                                                                            : typeof(StandInFixture).Assembly;

        var started = DateTime.UtcNow;
        List<TestCase> tests = Discover(assembly, category);
        Outcome first = Run(tests);
        Snapshot afterFirst = twice ? Snapshot.Take() : null;
        Outcome second = twice ? Run(tests) : null;

        // A test passes when it passed in every run.
        int failed = tests.Count(t => first.Failures.Contains(t.Name) || (second != null && second.Failures.Contains(t.Name)));
        int skipped = tests.Count(t => first.Skips.Contains(t.Name) && !(second != null && second.Failures.Contains(t.Name)));
        int passed = tests.Count - failed - skipped;
        if (twice)
        {
            List<string> leaks = Snapshot.Take().GrowthSince(afterFirst);
            if (leaks.Count == 0)
            {
                ++passed;
                Console.WriteLine("leak check: the second run left what the first left");
            }
            else
            {
                ++failed;
                Console.WriteLine("FAIL leak check: " + string.Join("; ", leaks.ToArray()));
            }
        }
        // "run twice in" and the "mono: N passed, M failed" line after it are the runner's own text
        // (scripts/test-all counts the tests from them): must not be corrected.
        Console.WriteLine("({0} tests{1} in {2:F1} s)", tests.Count, twice ? ", run twice" : "",
                          (DateTime.UtcNow - started).TotalSeconds);
        Console.WriteLine("mono: {0} passed, {1} failed{2}", passed, failed, skipped > 0 ? ", " + skipped + " skipped" : "");
        return failed == 0 ? 0 : 1;
    }

    class TestCase
    {
        public Type Fixture;
        public MethodInfo Method;
        public object[] Arguments;
        public string Name;
    }

    static bool HasAttribute(MemberInfo member, Type attribute)
    {
        return member.GetCustomAttributes(attribute, true).Length > 0;
    }

    static List<TestCase> Discover(Assembly assembly, string category)
    {
        var tests = new List<TestCase>();
        foreach (Type fixture in assembly.GetTypes().Where(t => !t.IsAbstract && HasAttribute(t, typeof(TestFixtureAttribute)))
                                                    .OrderBy(t => t.Name))
        {
            if (category != null && !fixture.GetCustomAttributes(typeof(CategoryAttribute), true)
                                             .Cast<CategoryAttribute>().Any(c => c.Name == category))
                continue;
            foreach (MethodInfo method in fixture.GetMethods().OrderBy(m => m.MetadataToken))
            {
                if (HasAttribute(method, typeof(TestAttribute)))
                    tests.Add(new TestCase { Fixture = fixture, Method = method, Arguments = new object[0],
                                             Name = fixture.Name + "." + method.Name });
                foreach (TestCaseAttribute testCase in method.GetCustomAttributes(typeof(TestCaseAttribute), true))
                    tests.Add(new TestCase
                    {
                        Fixture = fixture, Method = method, Arguments = testCase.Arguments,
                        Name = fixture.Name + "." + method.Name + "(" +
                               string.Join(", ", testCase.Arguments.Select(a => a is Type ? ((Type)a).Name : Convert.ToString(a)).ToArray()) + ")",
                    });
            }
        }
        return tests;
    }

    // SetUp methods from the base class down, TearDown methods from the derived class up, as NUnit.
    static IEnumerable<MethodInfo> Marked(Type fixture, Type attribute, bool baseFirst)
    {
        var chain = new List<Type>();
        for (Type type = fixture; type != null; type = type.BaseType) chain.Add(type);
        if (baseFirst) chain.Reverse();
        foreach (Type type in chain)
            foreach (MethodInfo method in type.GetMethods(BindingFlags.Instance | BindingFlags.Public | BindingFlags.DeclaredOnly))
                if (HasAttribute(method, attribute)) yield return method;
    }

    static Outcome Run(List<TestCase> tests)
    {
        var outcome = new Outcome();
        foreach (TestCase test in tests)
        {
            Exception failure = null;
            bool ignored = false;
            var worker = new Thread(() =>
            {
                object fixture = Activator.CreateInstance(test.Fixture);
                try
                {
                    foreach (MethodInfo setUp in Marked(test.Fixture, typeof(SetUpAttribute), true)) setUp.Invoke(fixture, null);
                    test.Method.Invoke(fixture, test.Arguments);
                }
                catch (Exception exception)
                {
                    failure = Unwrap(exception);
                }
                try
                {
                    foreach (MethodInfo tearDown in Marked(test.Fixture, typeof(TearDownAttribute), false))
                        tearDown.Invoke(fixture, null);
                }
                catch (Exception exception)
                {
                    if (failure == null) failure = Unwrap(exception);
                }
            });
            worker.Start();
            if (!worker.Join(TestLimit))
            {
                Console.WriteLine("FAIL {0}: still running after {1} s", test.Name, TestLimit.TotalSeconds);
                Console.WriteLine("mono: {0} passed, {1} failed", outcome.Passed, outcome.Failed + 1);
                Environment.Exit(1);
            }
            if (failure is IgnoreException || failure is InconclusiveException)
            {
                ignored = true;
                failure = null;
            }
            if (failure is SuccessException) failure = null;
            if (ignored)
            {
                outcome.Skips.Add(test.Name);
            }
            else if (failure == null)
            {
                ++outcome.Passed;
            }
            else
            {
                ++outcome.Failed;
                outcome.Failures.Add(test.Name);
                Console.WriteLine("FAIL {0}: {1}", test.Name,
                                  failure is AssertionException ? failure.Message.Trim() : failure.ToString());
            }
        }
        return outcome;
    }

    static Exception Unwrap(Exception exception)
    {
        while (exception is TargetInvocationException && exception.InnerException != null) exception = exception.InnerException;
        return exception;
    }

    static void PrintEntryPoints()
    {
        foreach (Type library in new[] { typeof(Native), typeof(Native.TrackerLink) })
            foreach (MethodInfo method in library.GetMethods(BindingFlags.Public | BindingFlags.Static))
                foreach (DllImportAttribute import in method.GetCustomAttributes(typeof(DllImportAttribute), false))
                    Console.WriteLine(library.GetField("Library").GetValue(null) + "\t" + import.EntryPoint);
    }

    static void PrintRecords()
    {
        foreach (Type record in typeof(Native).Assembly.GetTypes())
            if (record.IsPublic && record.IsValueType && !record.IsEnum && record.Namespace == "Zerin")
                Console.WriteLine(record.Name + "\t" + Marshal.SizeOf(record));
    }

    // What a run leaves behind.
    class Snapshot
    {
        int runtimeObjects, textures, handlers, threads;
        long nativeHeap, managedHeap;

        [StructLayout(LayoutKind.Sequential)]
        struct MallocInfo
        {
            public UIntPtr Arena, Ordblks, Smblks, Hblks, Hblkhd, Usmblks, Fsmblks, Uordblks, Fordblks, Keepcost;
        }

        [DllImport("libc", EntryPoint = "mallinfo2")]
        static extern MallocInfo mallinfo2();

        public static Snapshot Take()
        {
            GC.Collect();
            GC.WaitForPendingFinalizers();
            GC.Collect();
            MallocInfo heap = mallinfo2();
            return new Snapshot
            {
                runtimeObjects = SimRuntime.LiveObjects(),
                textures = TestHost.zerintest_TextureCount(),
                handlers = EngineBridgeCallbacks.HeldHandlerCount,
                threads = Directory.GetDirectories("/proc/self/task").Length,
                nativeHeap = (long)heap.Uordblks.ToUInt64() + (long)heap.Hblkhd.ToUInt64(),
                managedHeap = GC.GetTotalMemory(true),
            };
        }

        public List<string> GrowthSince(Snapshot before)
        {
            var growth = new List<string>();
            Console.WriteLine("after the first run: {0}; after the second: {1}", before, this);
            if (runtimeObjects > 0 || before.runtimeObjects > 0) growth.Add(runtimeObjects + " runtime objects live");
            if (textures > 0 || before.textures > 0) growth.Add(textures + " engine textures held");
            if (handlers > 0 || before.handlers > 0) growth.Add(handlers + " handlers held for native code");
            if (threads > before.threads) growth.Add("threads " + before.threads + " -> " + threads);
            if (nativeHeap - before.nativeHeap > HeapGrowthAllowed)
                growth.Add("native heap grew by " + (nativeHeap - before.nativeHeap) + " bytes");
            if (managedHeap - before.managedHeap > HeapGrowthAllowed)
                growth.Add("managed heap grew by " + (managedHeap - before.managedHeap) + " bytes");
            return growth;
        }

        public override string ToString()
        {
            return string.Format("{0} runtime objects, {1} textures, {2} handlers, {3} threads, native heap {4} KiB, managed heap {5} KiB",
                                 runtimeObjects, textures, handlers, threads, nativeHeap / 1024, managedHeap / 1024);
        }
    }
}
